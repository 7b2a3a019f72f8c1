// The settings panel's value labels: "72%", "14 pt", "0.0×", "1.15×". Never fail: values that are
// not finite or do not fit a 64-bit integer get a dash.
#pragma once

#include <QString>

namespace ValueLabels {

QString percent(double value);              // value × 100 truncated toward zero, then "%"
QString points(double value);               // value truncated toward zero, then " pt"
QString factor(double value, int decimals); // "%.<decimals>f" then U+00D7

} // namespace ValueLabels
