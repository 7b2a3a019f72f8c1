// The baseline engine behind a handle: its types live in a translation unit of their own (see
// CMakeLists.txt), so that none of its names meets the engine measured beside it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace BaselineEngine {
struct Handle;
// As the view holds it: a screen of rows x columns whose redraw hook counts the redraws.
Handle* create(int rows, int columns);
void consume(Handle* engine, const std::uint8_t* data, std::size_t size);
void destroy(Handle* engine);
} // namespace BaselineEngine
