#include <windows.h>

#include <cstring>
#include <string>

#include "converter_tool/console.h"
#include "converter_tool/windows_text.h"

namespace converter {

void PrintLine(const char* text, const char* more) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  try {
    const std::string line = std::string(text) + more + "\r\n";
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
      const std::wstring wide = WideFromUtf8(line);
      WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
      WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
  } catch (...) {
    // Out of memory: the texts as they are (the one such line is ASCII).
    WriteFile(out, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    WriteFile(out, more, static_cast<DWORD>(std::strlen(more)), &written, nullptr);
    WriteFile(out, "\r\n", 2, &written, nullptr);
  }
}

}  // namespace converter
