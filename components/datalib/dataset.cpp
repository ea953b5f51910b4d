#include "components/datalib/dataset.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace datalib {

using platform::ComPtr;
using platform::E_FAIL;
using platform::E_INVALIDARG;
using platform::E_POINTER;
using platform::S_FALSE;
using platform::S_OK;

HRESULT DataSet::SetName(const std::string &name) {
    m_name = name;
    return S_OK;
}

HRESULT DataSet::GetName(std::string *name) {
    if (!name)
        return E_POINTER;
    *name = m_name;
    return S_OK;
}

HRESULT DataSet::SetTypeTag(LONG tag) {
    m_tag = tag;
    return S_OK;
}

HRESULT DataSet::GetTypeTag(LONG *tag) {
    if (!tag)
        return E_POINTER;
    *tag = m_tag;
    return S_OK;
}

HRESULT DataSet::SetComponentCount(LONG count) {
    if (count < 1 || count > 3)
        return E_INVALIDARG;
    m_components = count;
    return S_OK;
}

HRESULT DataSet::GetComponentCount(LONG *count) {
    if (!count)
        return E_POINTER;
    *count = m_components;
    return S_OK;
}

HRESULT DataSet::Add(TalvorChannel *const *channels, LONG count) {
    if (!channels)
        return E_POINTER;
    if (count != m_components)
        return E_INVALIDARG;
    Group group{0, {}};
    for (LONG i = 0; i < count; ++i) {
        TalvorChannel *channel = channels[i];
        LONG marker = 0;
        if (!channel || platform::failed(channel->GetMarkerNumber(&marker)))
            return E_INVALIDARG;
        if (i == 0)
            group.marker = marker;
        else if (marker != group.marker)
            return E_INVALIDARG;
        group.channels.push_back(ComPtr<TalvorChannel>::share(channel));
    }
    m_groups.push_back(std::move(group));
    return S_OK;
}

HRESULT DataSet::Remove(LONG marker) {
    const auto removed =
        std::erase_if(m_groups, [&](const Group &g) { return g.marker == marker; });
    return removed ? S_OK : S_FALSE;
}

HRESULT DataSet::Clear() {
    m_groups.clear();
    return S_OK;
}

const DataSet::Group *DataSet::newest(LONG marker) const {
    const auto it = std::find_if(m_groups.rbegin(), m_groups.rend(),
                                 [&](const Group &g) { return g.marker == marker; });
    return it == m_groups.rend() ? nullptr : &*it;
}

HRESULT DataSet::WriteFrame(LONG marker, SHORT frame, float v0, float v1, float v2, LONG *status) {
    HRESULT hr = S_OK;
    if (const Group *group = newest(marker)) {
        const float values[3] = {v0, v1, v2};
        for (std::size_t i = 0; i < group->channels.size() && i < 3; ++i) {
            const HRESULT one = group->channels[i]->PutValue(frame, values[i]);
            if (platform::failed(one))
                hr = one;
        }
    } else {
        hr = E_INVALIDARG;
    }
    if (status)
        *status = platform::failed(hr) ? 1 : 0;
    return hr;
}

HRESULT DataSet::ReadFrame(LONG marker, LONG frame, float *v0, float *v1, float *v2) {
    float *outs[3] = {v0, v1, v2};
    for (float *out : outs) {
        if (out)
            *out = kMissing;
    }
    const Group *group = newest(marker);
    if (!group || frame < std::numeric_limits<SHORT>::min() ||
        frame > std::numeric_limits<SHORT>::max())
        return E_INVALIDARG;
    for (std::size_t i = 0; i < group->channels.size() && i < 3; ++i) {
        if (!outs[i])
            continue;
        const HRESULT hr = group->channels[i]->GetValue(static_cast<SHORT>(frame), outs[i]);
        if (platform::failed(hr)) {
            *outs[i] = kMissing;
            return hr;
        }
    }
    return S_OK;
}

HRESULT DataSet::ReadTime(LONG marker, double seconds, float *v0, float *v1, float *v2) {
    const double frame = seconds * m_rate;
    // Out of the 32-bit range (or not a number) cannot name a frame; ReadFrame refuses it.
    if (!(m_rate > 0.0f) || !std::isfinite(frame) || std::fabs(frame) > 1.0e9) {
        ReadFrame(marker, std::numeric_limits<LONG>::min(), v0, v1, v2);
        return E_FAIL;
    }
    // Halves round away from zero, as the control rounds its frame offsets.
    return ReadFrame(marker, static_cast<LONG>(std::lround(frame)), v0, v1, v2);
}

HRESULT DataSet::SetFrameRate(float rate) {
    if (!std::isfinite(rate) || rate < 0.0f)
        return E_INVALIDARG;
    m_rate = rate;
    return S_OK;
}

HRESULT DataSet::GetFrameRate(float *rate) {
    if (!rate)
        return E_POINTER;
    *rate = m_rate;
    return S_OK;
}

HRESULT DataSet::GetChannel(LONG component, LONG marker, TalvorChannel **channel) {
    if (!channel)
        return E_POINTER;
    *channel = nullptr;
    const Group *group = newest(marker);
    if (!group || component < 0 || component >= static_cast<LONG>(group->channels.size()))
        return E_INVALIDARG;
    return giveOut(group->channels[static_cast<std::size_t>(component)], channel);
}

std::vector<LONG> DataSet::markers() const {
    std::vector<LONG> numbers;
    for (const Group &g : m_groups) {
        if (std::find(numbers.begin(), numbers.end(), g.marker) == numbers.end())
            numbers.push_back(g.marker);
    }
    return numbers;
}

HRESULT DataSet::GetMarkerCount(LONG *count) {
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(markers().size());
    return S_OK;
}

HRESULT DataSet::GetMarker(LONG index, LONG *marker) {
    if (!marker)
        return E_POINTER;
    const auto numbers = markers();
    if (index < 0 || index >= static_cast<LONG>(numbers.size())) {
        *marker = 0;
        return E_INVALIDARG;
    }
    *marker = numbers[static_cast<std::size_t>(index)];
    return S_OK;
}

} // namespace datalib
