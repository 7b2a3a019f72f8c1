// Parsing the parameter string of a control sequence into signed 64-bit values, one per piece
// between semicolons.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Splits at every ';', keeping empty pieces, so the result always has at least one value. A piece is
// an optional sign and decimal digits; anything else (an empty piece, a colon sub-parameter, an
// intermediate byte, a value beyond the 64-bit range) counts as 0.
void parseCsiParameters(std::u32string_view text, std::vector<std::int64_t>& values);

// One piece, as above.
std::int64_t parseCsiParameter(std::u32string_view piece);
