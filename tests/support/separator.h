// The system's path separator as tests expect it, written out here rather than
// taken from platform/, so a wrong separator in the code shows up as a failure.
#pragma once

namespace testing_support {

#ifdef _WIN32
inline constexpr char kSep = '\\';
#else
inline constexpr char kSep = '/';
#endif

}  // namespace testing_support
