// The marker store: per marker number and frame, the values of the five data sets. Positions
// are fractions of the video width and height; kMissing (-1.0E9) marks no value; flags are
// 1.0 and 0. Channels are sized to the video that was open when the marker was created.
#pragma once

#include "app/markers/markerobjects.h"

#include <array>
#include <initializer_list>

namespace markers {

// The ten channels of one marker: component index within its data set in the comments.
enum class Channel {
    PosX,        // RAW 0, fraction of the width
    PosY,        // RAW 1, fraction of the height
    Angle,       // PMRO 0, degrees; 0 when set by hand
    PointStatus, // PMD0 0, 1.0 = the marker has a point in this frame
    PointRadius, // PMD0 1, half the side of the symbol's square, pixels
    PathVisible, // PMD0 2, "Show path for this marker"; frame 0 holds the setting
    MarkerColor, // PMD1 0, 0x00BBGGRR; only frame 0 is used
    AutoTrack,   // PMD1 1, 1.0 = tracked automatically, 0 = by hand
    PointSource, // PMD1 2, 1 tracked, 2 moved by hand, 3 placed at creation, 0 none
    TrackMode,   // PMD2 0, 16 pattern matching, 32 marker tracking
};
inline constexpr int kChannelCount = 10;
// The frames a channel can address: frame numbers are 16-bit, 0 to 32767.
inline constexpr int kMaxFrames = 32768;

// Where each point came from (PointSource).
inline constexpr float kSourceTracked = 1.0f;
inline constexpr float kSourceMoved = 2.0f;
inline constexpr float kSourceCreated = 3.0f;

// The channels of one marker, bound for one operation. Reading through a channel the marker
// does not have gives 0, as a value never written would; writing through one does nothing.
class MarkerChannels {
public:
    float get(Channel channel, int frame) const;
    void put(Channel channel, int frame, float value) const;
    // Every frame of the channel, 0 to its length - 1.
    void fill(Channel channel, float value) const;
    int length(Channel channel) const;
    // Frames after `frame` up to `last` lose their point: no status, no source, no position
    // or angle. With `trackAgain` they are also made ready for automatic tracking.
    void emptyAfter(int frame, int last, bool trackAgain) const;
    bool has(Channel channel) const { return slot(channel) != nullptr; }
    // The marker's colour: `MarkerColor` at frame 0 as a colour value.
    platform::COLORREF color() const;

private:
    friend class MarkerStore;
    datalib::TalvorChannel *slot(Channel channel) const {
        return m_channels[static_cast<std::size_t>(channel)].get();
    }
    std::array<platform::ComPtr<datalib::TalvorChannel>, kChannelCount> m_channels;
};

class MarkerStore {
public:
    explicit MarkerStore(MarkerObjects &objects) : m_objects(objects) {}

    // New channels of `frames` values for marker `marker`, filed in their data sets, every
    // frame holding the start values: no position, no angle, no point, the given colour,
    // tracked automatically, the given tracking mode. False when the data library failed.
    bool createMarkerData(platform::LONG marker, int frames, platform::COLORREF color,
                          int trackMode);
    MarkerChannels bind(platform::LONG marker) const;
    // Only the channels an operation needs.
    MarkerChannels bind(platform::LONG marker, std::initializer_list<Channel> channels) const;
    // Out of the position, rotation and both state sets; the track-method set keeps it.
    void removeMarkerData(platform::LONG marker);
    // Empties the four sets above and, with `trackMethodToo`, the track-method set.
    void clear(bool trackMethodToo);
    // One frame of one data set: marker number, frame, three components (-1.0 for the
    // missing third of a two-component set).
    void writeFrame(DataSet set, platform::LONG marker, int frame, float v0, float v1,
                    float v2) const;
    // A point of the marker in one frame: its position (fractions of the video's size) and
    // angle, the point flag, the symbol's radius and the path switch.
    void writePoint(platform::LONG marker, int frame, double fractionX, double fractionY,
                    double angle, double radius, float pathVisible) const;

private:
    MarkerObjects &m_objects;
};

} // namespace markers
