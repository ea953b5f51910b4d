#include "components/aviplayer/framecache.h"

extern "C" {
#include <libavutil/buffer.h>
}

namespace aviplayer {

FramePtr adoptFrame(AVFrame *frame) {
    AVFrame *owned = av_frame_alloc();
    if (!owned)
        return {};
    av_frame_move_ref(owned, frame);
    return FramePtr(owned, [](const AVFrame *f) {
        AVFrame *p = const_cast<AVFrame *>(f);
        av_frame_free(&p);
    });
}

std::size_t frameBytes(const AVFrame &frame) {
    std::size_t total = 0;
    for (const AVBufferRef *buf : frame.buf)
        if (buf)
            total += buf->size;
    for (int i = 0; i < frame.nb_extended_buf; ++i)
        total += frame.extended_buf[i]->size;
    return total;
}

void FrameCache::insert(int n, FramePtr frame) {
    if (!frame)
        return;
    const std::size_t bytes = frameBytes(*frame);
    erase(n);
    if (bytes > m_budget)
        return;
    while (!m_entries.empty() && m_bytes + bytes > m_budget)
        evictOne();
    m_order.push_front(n);
    m_entries.emplace(n, Entry{std::move(frame), bytes, m_order.begin()});
    m_bytes += bytes;
}

void FrameCache::setBudget(std::size_t budgetBytes) {
    m_budget = budgetBytes;
    while (!m_entries.empty() && m_bytes > m_budget)
        evictOne();
}

FramePtr FrameCache::find(int n) {
    const auto it = m_entries.find(n);
    if (it == m_entries.end())
        return {};
    m_order.splice(m_order.begin(), m_order, it->second.order);
    return it->second.frame;
}

void FrameCache::erase(int n) {
    const auto it = m_entries.find(n);
    if (it == m_entries.end())
        return;
    m_bytes -= it->second.bytes;
    m_order.erase(it->second.order);
    m_entries.erase(it);
}

void FrameCache::clear() {
    m_entries.clear();
    m_order.clear();
    m_bytes = 0;
}

void FrameCache::evictOne() {
    const int oldest = m_order.back();
    m_order.pop_back();
    const auto it = m_entries.find(oldest);
    m_bytes -= it->second.bytes;
    m_entries.erase(it);
}

} // namespace aviplayer
