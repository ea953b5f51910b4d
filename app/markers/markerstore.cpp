#include "app/markers/markerstore.h"

#include "app/common/settings.h"

#include <algorithm>

namespace markers {

using platform::ComPtr;
using platform::LONG;
using platform::SHORT;

namespace {

struct ChannelPlace {
    DataSet set;
    LONG component;
};
constexpr ChannelPlace kPlaces[kChannelCount] = {
    {kDataSetRaw, 0},    {kDataSetRaw, 1},    {kDataSetRotation, 0}, {kDataSetState0, 0},
    {kDataSetState0, 1}, {kDataSetState0, 2}, {kDataSetState1, 0},   {kDataSetState1, 1},
    {kDataSetState1, 2}, {kDataSetState2, 0}};

// Frames are 16-bit numbers on the data library's side; nothing beyond can be addressed.
bool frameFits(int frame) {
    return frame >= 0 && frame < kMaxFrames;
}

} // namespace

platform::COLORREF MarkerChannels::color() const {
    return static_cast<platform::COLORREF>(common::roundHalfEven(get(Channel::MarkerColor, 0)));
}

float MarkerChannels::get(Channel channel, int frame) const {
    datalib::TalvorChannel *c = slot(channel);
    if (!c || !frameFits(frame))
        return 0.0f;
    float value = 0.0f;
    c->GetValue(static_cast<SHORT>(frame), &value);
    return value;
}

void MarkerChannels::put(Channel channel, int frame, float value) const {
    if (datalib::TalvorChannel *c = slot(channel); c && frameFits(frame))
        c->PutValue(static_cast<SHORT>(frame), value);
}

int MarkerChannels::length(Channel channel) const {
    LONG length = 0;
    if (datalib::TalvorChannel *c = slot(channel))
        c->GetLength(&length);
    return static_cast<int>(std::clamp<LONG>(length, 0, kMaxFrames));
}

void MarkerChannels::emptyAfter(int frame, int last, bool trackAgain) const {
    for (int g = frame + 1; g <= last; ++g) {
        put(Channel::PointStatus, g, 0.0f);
        put(Channel::PointSource, g, 0.0f);
        if (trackAgain)
            put(Channel::AutoTrack, g, 1.0f);
        put(Channel::PosX, g, datalib::kMissing);
        put(Channel::PosY, g, datalib::kMissing);
        put(Channel::Angle, g, datalib::kMissing);
    }
}

void MarkerChannels::fill(Channel channel, float value) const {
    const int n = length(channel);
    for (int f = 0; f < n; ++f)
        put(channel, f, value);
}

bool MarkerStore::createMarkerData(LONG marker, int frames, platform::COLORREF color,
                                   int trackMode) {
    if (!m_objects.dataFactory)
        return false;
    std::array<ComPtr<datalib::TalvorChannel>, kChannelCount> made;
    for (auto &channel : made) {
        datalib::TalvorChannel *raw = nullptr;
        if (platform::failed(m_objects.dataFactory->CreateChannel(0, 0, &raw)) || !raw)
            return false;
        channel = ComPtr<datalib::TalvorChannel>::attach(raw);
        channel->SetMarkerNumber(marker);
        channel->SetFirstFrame(0);
        channel->SetLength(std::max(frames, 0));
    }
    // Each set gets its group of channels, one per component, in component order.
    bool ok = true;
    for (int set = 0; set < kDataSetCount; ++set) {
        datalib::TalvorChannel *group[3] = {};
        LONG count = 0;
        for (int c = 0; c < kChannelCount; ++c)
            if (kPlaces[c].set == set)
                group[count++] = made[static_cast<std::size_t>(c)].get();
        const auto &datas = m_objects.dataSets[static_cast<std::size_t>(set)];
        ok = datas && platform::succeeded(datas->Add(group, count)) && ok;
    }
    const float colour = static_cast<float>(color);
    const float mode = static_cast<float>(trackMode);
    for (int f = 0; f < frames && frameFits(f); ++f) {
        writeFrame(kDataSetRaw, marker, f, datalib::kMissing, datalib::kMissing, -1.0f);
        writeFrame(kDataSetRotation, marker, f, datalib::kMissing, 0.0f, 0.0f);
        writeFrame(kDataSetState0, marker, f, 0.0f, 0.0f, 0.0f);
        writeFrame(kDataSetState1, marker, f, colour, 1.0f, 0.0f);
        writeFrame(kDataSetState2, marker, f, mode, 0.0f, 0.0f);
    }
    return ok;
}

MarkerChannels MarkerStore::bind(LONG marker) const {
    return bind(marker, {Channel::PosX, Channel::PosY, Channel::Angle, Channel::PointStatus,
                         Channel::PointRadius, Channel::PathVisible, Channel::MarkerColor,
                         Channel::AutoTrack, Channel::PointSource, Channel::TrackMode});
}

MarkerChannels MarkerStore::bind(LONG marker, std::initializer_list<Channel> channels) const {
    MarkerChannels bound;
    for (Channel channel : channels) {
        const auto c = static_cast<std::size_t>(channel);
        const auto &datas = m_objects.dataSets[static_cast<std::size_t>(kPlaces[c].set)];
        datalib::TalvorChannel *raw = nullptr;
        if (datas && platform::succeeded(datas->GetChannel(kPlaces[c].component, marker, &raw)))
            bound.m_channels[c] = ComPtr<datalib::TalvorChannel>::attach(raw);
        else if (raw)
            raw->Release();
    }
    return bound;
}

void MarkerStore::removeMarkerData(LONG marker) {
    for (DataSet set : {kDataSetRaw, kDataSetRotation, kDataSetState0, kDataSetState1})
        if (const auto &datas = m_objects.dataSets[set])
            datas->Remove(marker);
}

void MarkerStore::clear(bool trackMethodToo) {
    for (int set = 0; set < kDataSetCount; ++set) {
        if (set == kDataSetState2 && !trackMethodToo)
            continue;
        if (const auto &datas = m_objects.dataSets[static_cast<std::size_t>(set)])
            datas->Clear();
    }
}

void MarkerStore::writePoint(LONG marker, int frame, double fractionX, double fractionY,
                             double angle, double radius, float pathVisible) const {
    writeFrame(kDataSetRaw, marker, frame, static_cast<float>(fractionX),
               static_cast<float>(fractionY), -1.0f);
    writeFrame(kDataSetRotation, marker, frame, static_cast<float>(angle), 0.0f, 0.0f);
    writeFrame(kDataSetState0, marker, frame, 1.0f, static_cast<float>(radius), pathVisible);
}

void MarkerStore::writeFrame(DataSet set, LONG marker, int frame, float v0, float v1,
                             float v2) const {
    const auto &datas = m_objects.dataSets[set];
    if (!datas || !frameFits(frame))
        return;
    LONG status = 0;
    datas->WriteFrame(marker, static_cast<SHORT>(frame), v0, v1, v2, &status);
}

} // namespace markers
