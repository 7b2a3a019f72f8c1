// Deterministic inputs for the pipeline benchmark: a fixed seed gives the same bytes on every machine
// and every run, so figures from different commits compare.
#pragma once

#include <cstddef>
#include <string>

namespace WorkloadText {

// Printable ASCII words and spaces in lines of 40 to 200 characters, each ended by "\n".
std::string dense(std::size_t bytes);
// Short words, each behind one or two graphic-rendition changes (16 colours, bright, 256 colours,
// 24-bit, bold, background, reset), in lines of 40 to 200 visible characters; ends with a reset.
std::string sgrHeavy(std::size_t bytes);
// Lines of 80 characters drawn from accented Latin, Greek, CJK ideographs, Hangul and ASCII, each
// ended by "\n": most cells are outside ASCII and many need a fallback font.
std::string utf8(std::size_t bytes);
enum class Colours {
    palette,     // the 255 non-default colours of the 256-colour table
    trueColour,  // a 24-bit colour of its own for every run
    backgrounds, // table colours on table backgrounds, inverse and plain runs, as a system monitor
};
// `rows` rows of exactly `columns` printable, non-blank cells whose colour changes every one to six
// cells; rows joined by "\r\n", none after the last, so the cursor ends on the last row. With
// backgrounds, half the runs have a background colour and a quarter are inverse.
std::string colouredScreen(int rows, int columns, Colours colours);

bool writeFile(const std::string& path, const std::string& contents);

} // namespace WorkloadText
