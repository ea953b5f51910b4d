// Enumerates capture devices of a category by their friendly and display names, in the
// order that numbers them for the ordinal calls (see devicelist.h).
#pragma once

#include "platform/com.h"

#include <string>
#include <vector>

namespace vidgrab {

// The video-input device category.
inline constexpr platform::Guid kVideoInputDeviceCategory =
    platform::guidOf("{860BB310-5D01-11D0-BD3B-00A0C911CE86}");

class CCapFilter {
public:
    CCapFilter();
    ~CCapFilter();
    CCapFilter(const CCapFilter &other);
    CCapFilter &operator=(const CCapFilter &other);

    // Whether BCAM cameras are listed with the other devices; set before Enum.
    void AllowBCAM(int allow);
    bool bcamAllowed() const { return m_allowBcam; }

    // Lists the devices of the category: S_OK when some were found, S_FALSE for none.
    platform::HRESULT Enum(const platform::Guid &category);
    int Count() const;
    // UTF-8 names of the device at index; empty for an index not below Count().
    std::string FriendlyName(int index) const;
    std::string DisplayName(int index) const;

private:
    struct Device {
        std::string friendlyName;
        std::string displayName;
    };
    bool m_allowBcam = false;
    std::vector<Device> m_devices;
};

} // namespace vidgrab
