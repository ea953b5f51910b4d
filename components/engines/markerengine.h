// The marker tracker's object: marker contexts by marker number over one set of user
// default settings.
#pragma once

#include "components/engines/engines.h"

namespace engines {

// A new marker tracker with the user's saved defaults, one reference for the caller.
platform::ComPtr<IMarkerTracker> createMarkerTracker();

} // namespace engines
