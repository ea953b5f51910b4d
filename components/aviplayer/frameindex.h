// The packets of one video stream in decode order, and which of them is the Nth frame in
// presentation order. Built once on open by demuxing only; decoding never counts outputs.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace aviplayer {

inline constexpr std::int64_t kNoTimestamp = INT64_MIN; // the value of AV_NOPTS_VALUE

struct PacketInfo {
    std::int64_t pts = kNoTimestamp;
    std::int64_t dts = kNoTimestamp;
    std::int64_t pos = -1;
    bool key = false;
    // False for packets that hold no frame of their own (empty packets, frames an edit
    // list discards); they are still decoded because later frames may refer to them.
    bool counted = true;
    // Flagged by the demuxer as incomplete (a file cut short inside the packet): its frame
    // keeps its number but is never handed out.
    bool corrupt = false;
};

class FrameIndex {
public:
    // How a packet read after a seek is matched to its entry.
    enum class Match { Position, Dts, Pts, Sequential };

    void add(const PacketInfo &packet) { m_packets.push_back(packet); }
    // Orders the counted packets by presentation time; call once after the last add().
    void finish();

    // Replaces the order by the one a decoder showed (decode indices in output order), for
    // streams whose packets lack presentation timestamps. Packets that gave no frame are
    // no longer counted.
    void setPresentationOrder(const std::vector<int> &packets);

    int frameCount() const { return static_cast<int>(m_frames.size()); }
    int packetCount() const { return static_cast<int>(m_packets.size()); }
    const PacketInfo &packet(int decodeIndex) const {
        return m_packets[static_cast<std::size_t>(decodeIndex)];
    }

    // Presentation frame number of a packet, or -1 for packets that are not counted.
    int frameOfPacket(int decodeIndex) const {
        return m_frameOfPacket[static_cast<std::size_t>(decodeIndex)];
    }
    int packetOfFrame(int frame) const { return m_frames[static_cast<std::size_t>(frame)]; }

    // The keyframe packet to start decoding at for `frame`: the last keyframe at or before
    // the frame's packet in decode order whose own frame does not come after `frame`.
    // Packet 0 when there is none.
    int keyframeFor(int frame) const;
    // The keyframe before `decodeIndex` in decode order, or -1.
    int previousKeyframe(int decodeIndex) const;

    Match match() const { return m_match; }
    // Entry of a demuxed packet by the chosen match; nullopt when unknown (or Sequential).
    std::optional<int> lookup(std::int64_t pts, std::int64_t dts, std::int64_t pos) const;

    // Presentation timestamps are those of the container (true) or invented from decode
    // order because some were missing (false).
    bool hasTimestamps() const { return m_ordered; }
    // Average rate over the stream in frames per time-base unit; 0 when unknown.
    double framesPerTick() const;

private:
    void mapFrames();

    std::vector<PacketInfo> m_packets;
    std::vector<int> m_frames;        // presentation order -> decode index
    std::vector<int> m_frameOfPacket; // decode index -> presentation order or -1
    std::vector<int> m_keyframes;     // decode indices, ascending
    std::unordered_map<std::int64_t, int> m_lookup;
    Match m_match = Match::Sequential;
    bool m_ordered = false;
};

} // namespace aviplayer
