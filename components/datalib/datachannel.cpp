#include "components/datalib/datachannel.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace datalib {

namespace {
constexpr long kLowestFrame = std::numeric_limits<SHORT>::min();
constexpr long kHighestFrame = std::numeric_limits<SHORT>::max();
} // namespace

HRESULT DataChannel::SetMarkerNumber(LONG marker) {
    m_marker = marker;
    return platform::S_OK;
}

HRESULT DataChannel::GetMarkerNumber(LONG *marker) {
    if (!marker)
        return platform::E_POINTER;
    *marker = m_marker;
    return platform::S_OK;
}

HRESULT DataChannel::SetFirstFrame(LONG frame) {
    relayout(frame, m_length);
    return platform::S_OK;
}

HRESULT DataChannel::GetFirstFrame(LONG *frame) {
    if (!frame)
        return platform::E_POINTER;
    *frame = m_first;
    return platform::S_OK;
}

HRESULT DataChannel::SetLength(LONG length) {
    if (length < 0)
        return platform::E_INVALIDARG;
    relayout(m_first, length);
    return platform::S_OK;
}

HRESULT DataChannel::GetLength(LONG *length) {
    if (!length)
        return platform::E_POINTER;
    *length = m_length;
    return platform::S_OK;
}

HRESULT DataChannel::GetValue(SHORT frame, float *value) {
    if (!value)
        return platform::E_POINTER;
    const long i = indexOf(frame);
    if (i < 0) {
        *value = kMissing;
        return platform::E_INVALIDARG;
    }
    *value = m_values[static_cast<std::size_t>(i)];
    return platform::S_OK;
}

HRESULT DataChannel::PutValue(SHORT frame, float value) {
    const long i = indexOf(frame);
    if (i < 0)
        return platform::E_INVALIDARG;
    m_values[static_cast<std::size_t>(i)] = value;
    return platform::S_OK;
}

long DataChannel::indexOf(LONG frame) const {
    // 64-bit arithmetic: first + length may pass the 32-bit range.
    const std::int64_t end = static_cast<std::int64_t>(m_first) + m_length;
    if (frame < m_first || frame >= end)
        return -1;
    const long i = static_cast<long>(frame) - m_storedFirst;
    if (i < 0 || i >= static_cast<long>(m_values.size()))
        return -1;
    return i;
}

void DataChannel::relayout(LONG first, LONG length) {
    const std::int64_t end = static_cast<std::int64_t>(first) + length;
    const long storedFirst = static_cast<long>(std::max<std::int64_t>(first, kLowestFrame));
    const long storedEnd = static_cast<long>(std::min<std::int64_t>(end, kHighestFrame + 1));
    std::vector<float> values;
    if (storedEnd > storedFirst)
        values.assign(static_cast<std::size_t>(storedEnd - storedFirst), kMissing);
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        const long frame = m_storedFirst + static_cast<long>(i);
        if (frame >= storedFirst && frame < storedEnd)
            values[static_cast<std::size_t>(frame - storedFirst)] = m_values[i];
    }
    m_first = first;
    m_length = length;
    m_storedFirst = static_cast<LONG>(storedFirst);
    m_values = std::move(values);
}

} // namespace datalib
