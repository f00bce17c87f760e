// Random 32-bit values for MIME boundaries, message ids and file names: unique,
// not secret. The system's generator, in one file per system (random_posix.cpp,
// random_windows.cpp).
//
// Constructing a std::random_device probes the processor for its random number
// instructions, which costs tens of microseconds inside some virtual machines;
// the tool would pay that several times per message. The system call does not.
#pragma once

#include <cstdint>

namespace formats {

uint32_t RandomU32();

}  // namespace formats
