#pragma once

#include <cstddef>
#include <cstdint>

// Every fuzz target is a libFuzzer entry point; built without libFuzzer,
// StandaloneMain.cpp drives it over its seeds and their mutations.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
