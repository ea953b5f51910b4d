// The in-memory data set: marker groups of channels, newest group first when numbers repeat.
#pragma once

#include "components/datalib/comobject.h"
#include "components/datalib/interfaces.h"

#include <vector>

namespace datalib {

class DataSet final : public ComObject<TalvorDatas> {
public:
    HRESULT SetName(const std::string &name) override;
    HRESULT GetName(std::string *name) override;
    HRESULT SetTypeTag(LONG tag) override;
    HRESULT GetTypeTag(LONG *tag) override;
    HRESULT SetComponentCount(LONG count) override;
    HRESULT GetComponentCount(LONG *count) override;
    HRESULT Add(TalvorChannel *const *channels, LONG count) override;
    HRESULT Remove(LONG marker) override;
    HRESULT Clear() override;
    HRESULT WriteFrame(LONG marker, SHORT frame, float v0, float v1, float v2,
                       LONG *status) override;
    HRESULT ReadFrame(LONG marker, LONG frame, float *v0, float *v1, float *v2) override;
    HRESULT ReadTime(LONG marker, double seconds, float *v0, float *v1, float *v2) override;
    HRESULT SetFrameRate(float rate) override;
    HRESULT GetFrameRate(float *rate) override;
    HRESULT GetChannel(LONG component, LONG marker, TalvorChannel **channel) override;
    HRESULT GetMarkerCount(LONG *count) override;
    HRESULT GetMarker(LONG index, LONG *marker) override;

private:
    struct Group {
        LONG marker;
        std::vector<platform::ComPtr<TalvorChannel>> channels;
    };
    // The newest group with that number, or null.
    const Group *newest(LONG marker) const;
    std::vector<LONG> markers() const;

    std::string m_name;
    LONG m_tag = 0;
    LONG m_components = 1;
    float m_rate = 0.0f;
    std::vector<Group> m_groups; // in the order they were added
};

} // namespace datalib
