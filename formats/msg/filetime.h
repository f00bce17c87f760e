// The time properties of the model (PidTagClientSubmitTime and the others) are
// FILETIME values: 100 ns ticks since 1601-01-01 UTC.
#pragma once

#include <cstdint>
#include <optional>

namespace formats::msg {

// FILETIME to Unix seconds; nullopt for zero and for times before 1970 or from
// the year 10000 on.
inline std::optional<int64_t> FileTimeToUnixSeconds(uint64_t filetime) {
  constexpr uint64_t kTicksPerSecond = 10000000;
  constexpr uint64_t kEpochDelta = 11644473600ull;  // seconds from 1601 to 1970
  constexpr int64_t kYear10000 = 253402300800;       // 10000-01-01 in Unix seconds
  const uint64_t seconds = filetime / kTicksPerSecond;
  if (filetime == 0 || seconds < kEpochDelta) return std::nullopt;
  const auto unix_seconds = static_cast<int64_t>(seconds - kEpochDelta);
  if (unix_seconds >= kYear10000) return std::nullopt;
  return unix_seconds;
}

}  // namespace formats::msg
