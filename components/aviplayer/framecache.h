// Least-recently-used store of decoded frames, keyed by frame number and bounded by the
// bytes their buffers hold.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <unordered_map>

extern "C" {
#include <libavutil/frame.h>
}

namespace aviplayer {

using FramePtr = std::shared_ptr<const AVFrame>;

// Takes over a reference to `frame` (moves it into a new AVFrame owned by the pointer).
FramePtr adoptFrame(AVFrame *frame);
// Bytes held by the frame's buffers (what keeping it alive costs).
std::size_t frameBytes(const AVFrame &frame);

class FrameCache {
public:
    explicit FrameCache(std::size_t budgetBytes) : m_budget(budgetBytes) {}

    // A frame larger than the whole budget is not kept.
    void insert(int n, FramePtr frame);
    FramePtr find(int n); // marks the frame as recently used
    void erase(int n);    // nothing when it is not kept
    // A new bound; the least recently used frames go until the rest fit.
    void setBudget(std::size_t budgetBytes);
    bool contains(int n) const { return m_entries.contains(n); }
    void clear();

    std::size_t bytes() const { return m_bytes; }
    std::size_t budget() const { return m_budget; }
    std::size_t size() const { return m_entries.size(); }

private:
    struct Entry {
        FramePtr frame;
        std::size_t bytes;
        std::list<int>::iterator order;
    };
    void evictOne();

    std::size_t m_budget;
    std::size_t m_bytes = 0;
    std::list<int> m_order; // most recent first
    std::unordered_map<int, Entry> m_entries;
};

} // namespace aviplayer
