// The settings panel's value labels: "72%", "14 pt", "0.0×", "1.15×", "about 0.1 MB". Never fail:
// values that are not finite or do not fit a 64-bit integer get a dash.
#pragma once

#include "engine/HistoryLimit.h"

#include <QLocale>
#include <QString>

namespace ValueLabels {

QString percent(double value);              // value × 100 truncated toward zero, then "%"
QString points(double value);               // value truncated toward zero, then " pt"
QString factor(double value, int decimals); // "%.<decimals>f" then U+00D7
// Digits as the panel shows counts, whatever the user's locale (the other labels are not localised
// either), with the thousands grouped: "1,000,000".
QLocale countLocale();
// What a history limit takes, at the typical bytes per line: "about 0.1 MB" for a count of lines
// (at most its cap), "up to 512 MB" for every line the cap holds.
QString historyCost(const HistoryLimit& limit);

} // namespace ValueLabels
