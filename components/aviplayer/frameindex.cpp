#include "components/aviplayer/frameindex.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

namespace aviplayer {

namespace {

// A key identifies packets only if every packet has one and no two share it.
template <class Get>
bool uniqueKey(const std::vector<PacketInfo> &packets, Get get, std::int64_t invalid) {
    std::unordered_set<std::int64_t> seen;
    seen.reserve(packets.size());
    for (const auto &p : packets) {
        const std::int64_t v = get(p);
        if (v == invalid || !seen.insert(v).second)
            return false;
    }
    return true;
}

} // namespace

void FrameIndex::finish() {
    m_frames.clear();
    m_keyframes.clear();
    m_lookup.clear();
    m_frameOfPacket.assign(m_packets.size(), -1);

    std::vector<int> counted;
    for (int i = 0; i < packetCount(); ++i)
        if (m_packets[static_cast<std::size_t>(i)].counted)
            counted.push_back(i);

    m_ordered = std::all_of(counted.begin(), counted.end(),
                            [this](int i) { return packet(i).pts != kNoTimestamp; });
    m_frames = counted;
    if (m_ordered)
        std::stable_sort(m_frames.begin(), m_frames.end(),
                         [this](int a, int b) { return packet(a).pts < packet(b).pts; });
    mapFrames();

    const auto pos = [](const PacketInfo &p) {
        return p.pos;
    };
    const auto dts = [](const PacketInfo &p) {
        return p.dts;
    };
    const auto pts = [](const PacketInfo &p) {
        return p.pts;
    };
    if (uniqueKey(m_packets, pos, -1))
        m_match = Match::Position;
    else if (uniqueKey(m_packets, dts, kNoTimestamp))
        m_match = Match::Dts;
    else if (uniqueKey(m_packets, pts, kNoTimestamp))
        m_match = Match::Pts;
    else
        m_match = Match::Sequential;
    if (m_match != Match::Sequential) {
        m_lookup.reserve(m_packets.size());
        for (int i = 0; i < packetCount(); ++i) {
            const auto &p = packet(i);
            m_lookup.emplace(m_match == Match::Position ? p.pos
                             : m_match == Match::Dts    ? p.dts
                                                        : p.pts,
                             i);
        }
    }
}

void FrameIndex::mapFrames() {
    m_frameOfPacket.assign(m_packets.size(), -1);
    for (int f = 0; f < frameCount(); ++f)
        m_frameOfPacket[static_cast<std::size_t>(m_frames[static_cast<std::size_t>(f)])] = f;
    m_keyframes.clear();
    for (int i = 0; i < packetCount(); ++i)
        if (packet(i).key && frameOfPacket(i) >= 0)
            m_keyframes.push_back(i);
}

void FrameIndex::setPresentationOrder(const std::vector<int> &packets) {
    m_frames.clear();
    std::vector<bool> seen(m_packets.size(), false);
    for (int i : packets) {
        if (i < 0 || i >= packetCount() || seen[static_cast<std::size_t>(i)])
            continue; // a decoder that named a packet twice or a stranger: keep the first
        seen[static_cast<std::size_t>(i)] = true;
        m_frames.push_back(i);
    }
    for (int i = 0; i < packetCount(); ++i)
        m_packets[static_cast<std::size_t>(i)].counted = seen[static_cast<std::size_t>(i)];
    mapFrames();
}

int FrameIndex::keyframeFor(int frame) const {
    if (frame < 0 || frame >= frameCount())
        return 0;
    const int target = packetOfFrame(frame);
    auto it = std::upper_bound(m_keyframes.begin(), m_keyframes.end(), target);
    while (it != m_keyframes.begin()) {
        --it;
        if (frameOfPacket(*it) <= frame)
            return *it;
    }
    return 0;
}

int FrameIndex::previousKeyframe(int decodeIndex) const {
    auto it = std::lower_bound(m_keyframes.begin(), m_keyframes.end(), decodeIndex);
    if (it == m_keyframes.begin())
        return -1;
    return *(--it);
}

std::optional<int> FrameIndex::lookup(std::int64_t pts, std::int64_t dts, std::int64_t pos) const {
    std::int64_t key = 0;
    switch (m_match) {
    case Match::Position:
        key = pos;
        break;
    case Match::Dts:
        key = dts;
        break;
    case Match::Pts:
        key = pts;
        break;
    case Match::Sequential:
        return std::nullopt;
    }
    const auto it = m_lookup.find(key);
    if (it == m_lookup.end())
        return std::nullopt;
    return it->second;
}

double FrameIndex::framesPerTick() const {
    if (!m_ordered || frameCount() < 2)
        return 0.0;
    const std::int64_t first = packet(m_frames.front()).pts;
    const std::int64_t last = packet(m_frames.back()).pts;
    if (last <= first)
        return 0.0;
    return static_cast<double>(frameCount() - 1) / static_cast<double>(last - first);
}

} // namespace aviplayer
