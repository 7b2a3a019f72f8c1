// A changed line is repainted together with the lines next to it: the ink of a line's glyphs may
// reach into its neighbours' boxes (descenders, tall fallback glyphs), and what it left there when it
// was drawn before must go too.
#include "FrameDamage.h"

#include <cmath>

QRegion FrameDamage::changesTo(ShownFrame next, double lineTop, double pitch)
{
    const bool comparable =
        recorded_ && next.visible == last_.visible && next.firstLine == last_.firstLine &&
        next.lines.size() == last_.lines.size() && next.selectionShown == last_.selectionShown &&
        (!next.selectionShown ||
         (next.selectionStart == last_.selectionStart && next.selectionEnd == last_.selectionEnd));
    QRegion changed;
    if (!comparable) {
        changed = next.visible;
    } else {
        for (std::size_t i = 0; i < next.lines.size(); ++i) {
            if (next.lines[i] == last_.lines[i]) {
                continue;
            }
            const double top = lineTop + (next.firstLine + static_cast<double>(i) - 1) * pitch;
            const int y = static_cast<int>(std::floor(top)) - 1;
            const int height = static_cast<int>(std::ceil(top + 3 * pitch)) + 1 - y;
            changed += QRect(next.visible.left(), y, next.visible.width(), height);
        }
        if (next.cursor != last_.cursor) {
            changed += last_.cursor;
            changed += next.cursor;
        }
        changed &= next.visible;
    }
    last_ = std::move(next);
    recorded_ = true;
    return changed;
}
