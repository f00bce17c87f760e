#include <windows.h>
// after windows.h, which it needs
#include <bcrypt.h>

#include <random>

#include "formats/common/random.h"

namespace formats {

uint32_t RandomU32() {
  uint32_t v;
  if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&v), sizeof v, BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0) return v;
  static std::random_device device;
  return device();
}

}  // namespace formats
