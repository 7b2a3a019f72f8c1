// The drawn display lines of the view, kept by the row's stamp (which changes whenever the row's
// cells do) and the line within the row. Scrolling, exposing and redrawing the same text reuse the
// images; images no paint used are dropped as soon as the cache outgrows what is on screen.
#pragma once

#include "LineImage.h"

#include <cstdint>
#include <unordered_map>

class LineImageCache {
public:
    // The image of a line, marked as used by the current paint; null when it is not cached.
    const LineImage* find(std::uint64_t rowStamp, int line);
    const LineImage& insert(std::uint64_t rowStamp, int line, LineImage image);
    // Ends a paint that showed `linesShown` lines: drops what it did not use once the cache holds
    // more than those lines and some slack.
    void finishPaint(std::size_t linesShown);
    // Forgets every image: the font, the colours, the width or the pixel ratio changed.
    void clear();
    // The images are drawn for a given look (device pixel ratio, reverse video): a different one
    // forgets them all.
    void useLook(double devicePixelRatio, bool reverseVideo);

    std::size_t size() const { return entries_.size(); }
    std::size_t linesRendered() const { return linesRendered_; } // for tests and benchmarks

private:
    struct Key {
        std::uint64_t stamp;
        int line;
        friend bool operator==(const Key&, const Key&) = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const
        {
            return static_cast<std::size_t>((key.stamp * 0x9E3779B97F4A7C15ULL) ^
                                            static_cast<unsigned>(key.line));
        }
    };
    struct Entry {
        LineImage image;
        std::uint64_t lastPaint;
    };

    std::unordered_map<Key, Entry, KeyHash> entries_;
    std::uint64_t paint_ = 1;
    double ratio_ = 0.0;
    bool reverseVideo_ = false;
    std::size_t linesRendered_ = 0;
};
