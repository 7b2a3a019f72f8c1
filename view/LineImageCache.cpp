#include "LineImageCache.h"

#include <iterator>

namespace {
constexpr std::size_t slackLines = 32;
}

const LineImage* LineImageCache::find(std::uint64_t rowStamp, int line)
{
    const auto found = entries_.find(Key{rowStamp, line});
    if (found == entries_.end()) {
        return nullptr;
    }
    found->second.lastPaint = paint_;
    return &found->second.image;
}

const LineImage& LineImageCache::insert(std::uint64_t rowStamp, int line, LineImage image)
{
    ++linesRendered_;
    Entry& entry = entries_[Key{rowStamp, line}];
    entry.image = std::move(image);
    entry.lastPaint = paint_;
    return entry.image;
}

void LineImageCache::finishPaint(std::size_t linesShown)
{
    if (entries_.size() > linesShown + slackLines) {
        for (auto it = entries_.begin(); it != entries_.end();) {
            it = it->second.lastPaint == paint_ ? std::next(it) : entries_.erase(it);
        }
    }
    ++paint_;
}

void LineImageCache::clear()
{
    entries_.clear();
}

void LineImageCache::useLook(double devicePixelRatio, bool reverseVideo)
{
    if (devicePixelRatio != ratio_ || reverseVideo != reverseVideo_) {
        clear();
        ratio_ = devicePixelRatio;
        reverseVideo_ = reverseVideo;
    }
}
