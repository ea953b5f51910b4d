// The in-memory data channel: one single-precision value per addressable frame.
#pragma once

#include "components/datalib/comobject.h"
#include "components/datalib/interfaces.h"

#include <vector>

namespace datalib {

class DataChannel final : public ComObject<TalvorChannel> {
public:
    HRESULT SetMarkerNumber(LONG marker) override;
    HRESULT GetMarkerNumber(LONG *marker) override;
    HRESULT SetFirstFrame(LONG frame) override;
    HRESULT GetFirstFrame(LONG *frame) override;
    HRESULT SetLength(LONG length) override;
    HRESULT GetLength(LONG *length) override;
    HRESULT GetValue(SHORT frame, float *value) override;
    HRESULT PutValue(SHORT frame, float value) override;

private:
    // Moves the stored values onto a new frame range; frames that stay keep their value.
    void relayout(LONG first, LONG length);
    // Index of the frame in m_values, or -1 when it is not addressable.
    long indexOf(LONG frame) const;

    LONG m_marker = 0;
    LONG m_first = 0;
    LONG m_length = 0;
    // Holds the frames in [m_first, m_first + m_length) that a 16-bit frame can name,
    // starting at m_storedFirst; a huge length therefore costs at most 65536 values.
    LONG m_storedFirst = 0;
    std::vector<float> m_values;
};

} // namespace datalib
