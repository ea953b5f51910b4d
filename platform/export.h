// Symbol visibility of the platform library (built as one shared object so that every
// library above it sees the same settings store, probe and test seams).
#pragma once

#define PLATFORM_API __attribute__((visibility("default")))
