#include "components/vidgrab/capfilter.h"

#include "components/vidgrab/devicelist.h"

namespace vidgrab {

CCapFilter::CCapFilter() = default;
CCapFilter::~CCapFilter() = default;
CCapFilter::CCapFilter(const CCapFilter &other) = default;
CCapFilter &CCapFilter::operator=(const CCapFilter &other) = default;

void CCapFilter::AllowBCAM(int allow) {
    m_allowBcam = allow != 0;
}

platform::HRESULT CCapFilter::Enum(const platform::Guid &category) {
    // Only video inputs are known; any other category lists empty. There are no BCAM
    // cameras, so AllowBCAM changes nothing in the list.
    m_devices.clear();
    if (category == kVideoInputDeviceCategory)
        for (const DeviceInfo &d : listDevices())
            m_devices.push_back({d.friendlyName, d.displayName});
    return m_devices.empty() ? platform::S_FALSE : platform::S_OK;
}

int CCapFilter::Count() const {
    return static_cast<int>(m_devices.size());
}

std::string CCapFilter::FriendlyName(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return m_devices[static_cast<std::size_t>(index)].friendlyName;
}

std::string CCapFilter::DisplayName(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return m_devices[static_cast<std::size_t>(index)].displayName;
}

} // namespace vidgrab
