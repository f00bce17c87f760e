// The carried tool on Windows: the program's resource of type "CUSTOM", number
// 101, which holds Quorvex.exe.
#include <windows.h>

#include "conversion/carried_tool.h"
#include "platform/error_report.h"

namespace conversion {

std::span<const std::byte> CarriedToolImage() {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(kToolResourceId), kToolResourceType);
  if (found == nullptr) throw platform::Failure("Resource not found");
  const DWORD size = SizeofResource(nullptr, found);
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) throw platform::Failure("Resource not found");
  // A resource stays mapped for the life of the program.
  return {static_cast<const std::byte*>(bytes), size};
}

}  // namespace conversion
