#include <random>

#if defined(__linux__)
#include <sys/random.h>
#endif

#include "formats/common/random.h"

namespace formats {

uint32_t RandomU32() {
#if defined(__linux__)
  uint32_t v;
  if (getrandom(&v, sizeof v, 0) == static_cast<ssize_t>(sizeof v)) return v;
#endif
  static std::random_device device;  // one probe per process
  return device();
}

}  // namespace formats
