// Legible text on any background: the contrast ratio of two colours (relative luminance, as the
// accessibility guidelines define it), the nearest colour to a text colour that reaches a minimum
// ratio, and a per-pair memo so that drawing asks each pair once.
#pragma once

#include <QRgb>

#include <cstdint>
#include <unordered_map>

namespace MinimumContrast {
inline constexpr double off = 1.0; // every pair reaches 1:1

double relativeLuminance(QRgb color);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
double ratio(QRgb first, QRgb second);
// `text` itself when it reaches `minimum` against the opaque `background`; else the least mix of it
// with white or black (away from the background first) that does, or the more legible of the two
// when neither can. Alpha is kept.
QRgb legible(QRgb text, QRgb background, double minimum);
} // namespace MinimumContrast

// The colours a view draws at one minimum ratio, each pair worked out once.
class ContrastMemo {
public:
    void setMinimum(double minimum);
    double minimum() const { return minimum_; }
    bool active() const { return minimum_ > MinimumContrast::off; }
    QRgb legible(QRgb text, QRgb background);

private:
    static constexpr std::size_t limit = 4096; // pairs; a program cycling true colours starts it afresh
    double minimum_ = MinimumContrast::off;
    std::unordered_map<std::uint64_t, QRgb> pairs_;
};
