// Entry points of the data library: class registration and direct construction.
#pragma once

#include "components/datalib/interfaces.h"

namespace datalib {

// Makes the data-set factory, the item collection, the calibration factory, the layout,
// the 3-D calibration, the projection helper, angles and distances creatable
// by class identifier (platform::createInstance). Safe to call more than once.
void registerClasses();

platform::ComPtr<TalvorDataFactory> createDataFactory();
platform::ComPtr<TalvorGraphicItems> createGraphicItems();
platform::ComPtr<TalvorCalFactory> createCalFactory();
platform::ComPtr<TalvorSpec> createPointLayout();
platform::ComPtr<TalvorCal3D> createCal3D();
platform::ComPtr<TalvorProjection> createProjection();
platform::ComPtr<TalvorAngles> createAngles();
platform::ComPtr<TalvorDistances> createDistances();

// Adds to `data` one new channel per component for `marker`, holding frames
// first .. first + length - 1, every value missing until written.
HRESULT addMarkerChannels(TalvorDataFactory &factory, TalvorDatas &data, LONG marker,
                          LONG firstFrame, LONG length);

} // namespace datalib
