// Random 32-bit values for MIME boundaries, message ids and file names: unique,
// not secret.
//
// Constructing a std::random_device probes the processor for its random number
// instructions, which costs tens of microseconds inside some virtual machines;
// the tool would pay that several times per message. The system call does not.
#pragma once

#include <cstdint>
#include <random>

#if defined(__linux__)
#include <sys/random.h>
#endif

namespace formats {

#if defined(_WIN32)
// The system's generator (random_windows.cpp).
uint32_t RandomU32();
#else
inline uint32_t RandomU32() {
#if defined(__linux__)
  uint32_t v;
  if (getrandom(&v, sizeof v, 0) == static_cast<ssize_t>(sizeof v)) return v;
#endif
  static std::random_device device;  // one probe per process
  return device();
}
#endif

}  // namespace formats
