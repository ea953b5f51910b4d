// Entry points of the data library: class registration and direct construction.
#pragma once

#include "components/datalib/interfaces.h"

namespace datalib {

// Makes the data-set factory, the item collection and the calibration factory creatable
// by class identifier (platform::createInstance). Safe to call more than once.
void registerClasses();

platform::ComPtr<TalvorDataFactory> createDataFactory();
platform::ComPtr<TalvorGraphicItems> createGraphicItems();
platform::ComPtr<TalvorCalFactory> createCalFactory();

} // namespace datalib
