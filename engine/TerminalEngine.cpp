// The façade's own part: the parser over the screen, the owner's text, resizes and the redraw hook.
#include "TerminalEngine.h"

#include "Utf8Decoder.h"
#include "VtParser.h"

extern template class VtParser<Screen>; // made in Screen.cpp

TerminalEngine::TerminalEngine() : parser_(std::make_unique<VtParser<Screen>>(static_cast<Screen&>(*this))) {}

TerminalEngine::~TerminalEngine() = default;

void TerminalEngine::setRenderHook(std::function<void()> renderScreen)
{
    renderScreen_ = std::move(renderScreen);
}

void TerminalEngine::render()
{
    if (renderScreen_) {
        renderScreen_();
    }
}

void TerminalEngine::consume(std::span<const std::uint8_t> bytes)
{
    parser_->parse(bytes);
    render();
}

void TerminalEngine::consume(std::string_view bytes)
{
    consume(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

void TerminalEngine::append(std::string_view utf8Text, Color color)
{
    // Nothing is interpreted: every scalar goes to write(). A decoder of its own keeps a message
    // from disturbing a character the shell left half-written.
    Utf8Decoder decoder;
    char32_t scalars[2];
    for (const char byte : utf8Text) {
        const int produced = decoder.feed(static_cast<std::uint8_t>(byte), scalars);
        for (int i = 0; i < produced; ++i) {
            write(scalars[i], color);
        }
    }
    if (decoder.finish()) {
        write(Utf8Decoder::replacementCharacter, color);
    }
    render();
}

void TerminalEngine::resizeGrid(int rows, int columns)
{
    if (Screen::resizeGrid(rows, columns)) {
        render();
    }
}
