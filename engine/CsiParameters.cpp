// Parameter parsing for control sequences collected scalar by scalar.
#include "CsiParameters.h"

void parseCsiParameters(std::u32string_view text, std::vector<std::int64_t>& values)
{
    parseCsiParameterRange(text.data(), text.data() + text.size(), values);
}
