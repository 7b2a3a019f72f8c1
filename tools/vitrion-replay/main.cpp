// vitrion-replay: feeds bytes to a terminal engine set up as the view sets it up, and prints the
// resulting state as JSON. For debugging, golden tests and benchmarks.
#include "EngineJson.h"
#include "engine/TerminalEngine.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t largestChunk = std::size_t{1} << 30;

struct Options {
    int rows = 24;
    int columns = 80;
    std::size_t chunkSize = 8192;
    bool text = false;
    HistoryLimit history;
    std::vector<std::pair<int, int>> resizes; // applied after the input, in order
    std::vector<std::string> files;
};

int fail(const std::string& message)
{
    std::fprintf(stderr, "vitrion-replay: %s\n", message.c_str());
    return 2;
}

template <typename Number> bool parseNumber(std::string_view text, Number& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Returns an error message, empty when the arguments are good.
std::string parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--rows" || arg == "--columns" || arg == "--chunk-size") {
            if (i + 1 == argc) {
                return std::string(arg) + " needs a value";
            }
            const std::string_view value = argv[++i];
            long long number = 0;
            if (!parseNumber(value, number) || number < 1) {
                return std::string(arg) + " needs a whole number of at least 1, not '" + std::string(value) +
                       "'";
            }
            if (arg == "--chunk-size") {
                if (static_cast<unsigned long long>(number) > largestChunk) {
                    return "--chunk-size is at most " + std::to_string(largestChunk);
                }
                options.chunkSize = static_cast<std::size_t>(number);
            } else {
                // Sizes beyond int are clamped like any other large size by the engine.
                const int size = number > 1'000'000 ? 1'000'000 : static_cast<int>(number);
                (arg == "--rows" ? options.rows : options.columns) = size;
            }
        } else if (arg == "--history" || arg == "--resize") {
            if (i + 1 == argc) {
                return std::string(arg) + " needs a value";
            }
            const std::string_view value = argv[++i];
            if (arg == "--history") {
                std::size_t lines = 0;
                if (!parseNumber(value, lines)) {
                    return "--history needs a number of lines (0 for unlimited), not '" + std::string(value) +
                           "'";
                }
                options.history.lines = lines == 0 ? HistoryLimit::unlimitedLines : lines;
                continue;
            }
            const std::size_t x = value.find('x');
            int rows = 0;
            int columns = 0;
            if (x == std::string_view::npos || !parseNumber(value.substr(0, x), rows) ||
                !parseNumber(value.substr(x + 1), columns) || rows < 1 || columns < 1) {
                return "--resize needs ROWSxCOLUMNS, not '" + std::string(value) + "'";
            }
            options.resizes.emplace_back(rows, columns);
        } else if (arg == "--text") {
            options.text = true;
        } else if (arg == "--help") {
            return "usage: vitrion-replay [--rows R] [--columns C] [--chunk-size N] [--history LINES]\n"
                   "                      [--resize ROWSxCOLUMNS ...] [--text] [FILE ...]\n"
                   "  --history LINES  lines kept above the screen (0: unlimited; default " +
                   std::to_string(HistoryLimit::defaultLines) +
                   ")\n"
                   "  --resize R x C   resize after the input, re-wrapping as the window does";
        } else if (arg.size() > 1 && arg.front() == '-') {
            return "unknown option '" + std::string(arg) + "'";
        } else {
            options.files.emplace_back(arg);
        }
    }
    return {};
}

// Reads a whole file ("-": standard input); false when it cannot be read.
bool readWhole(const std::string& name, std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::uint8_t buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    const bool ok = std::ferror(file) == 0;
    if (file != stdin) {
        std::fclose(file);
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const std::string error = parseOptions(argc, argv, options); !error.empty()) {
        return fail(error);
    }

    // The state the view leaves after applying the default settings, then the requested size.
    TerminalEngine engine;
    const Color defaultTextColor{0.92f, 0.93f, 0.96f, 1.0f};
    engine.setBaseTextColor(defaultTextColor);
    engine.setCurrentColor(defaultTextColor);
    engine.resizeGrid(options.rows, options.columns);
    engine.setHistoryLimit(options.history);
    int renderCount = 0;
    engine.setRenderHook([&] { ++renderCount; });

    if (options.files.empty()) {
        std::vector<std::uint8_t> chunk(options.chunkSize);
        std::size_t n = 0;
        while ((n = std::fread(chunk.data(), 1, chunk.size(), stdin)) > 0) {
            engine.consume(std::span(chunk.data(), n));
        }
        if (std::ferror(stdin) != 0) {
            return fail(std::string("cannot read standard input: ") + std::strerror(errno));
        }
    }
    for (const std::string& name : options.files) {
        std::vector<std::uint8_t> bytes;
        if (!readWhole(name, bytes)) {
            return fail("cannot read '" + name + "': " + std::strerror(errno));
        }
        engine.consume(bytes);
    }

    for (const auto& [rows, columns] : options.resizes) {
        engine.resizeGrid(rows, columns);
    }

    const std::string json = options.text ? engineScreenText(engine) : engineStateJson(engine, renderCount);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
