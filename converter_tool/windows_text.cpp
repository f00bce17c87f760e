#include "converter_tool/windows_text.h"

#include <windows.h>

#include "formats/common/codepage.h"
#include "formats/common/long_path.h"

namespace converter {

std::string Utf8FromWide(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c >= 0xD800 && c <= 0xDFFF) {  // unpaired: AppendUtf8 would replace it
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      formats::AppendUtf8(out, c);
    }
  }
  return out;
}

std::wstring WideFromUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    // Surrogates come back as themselves (see Utf8FromWide).
    const formats::Utf8Char c = formats::DecodeUtf8At(text, i, formats::Surrogates::kAllowed);
    if (c.length == 0) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (c.code_point >= 0x10000) {
      out.push_back(static_cast<wchar_t>(0xD800 + ((c.code_point - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + ((c.code_point - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(c.code_point));
    }
    i += c.length;
  }
  return out;
}

std::wstring WidePath(std::string_view path) {
  std::wstring current(GetCurrentDirectoryW(0, nullptr), L'\0');
  current.resize(GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data()));
  return WideFromUtf8(formats::ExtendedLengthPath(path, Utf8FromWide(current)));
}

std::string WindowsErrorText(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = n > 0 && text != nullptr ? std::wstring(text, n) : L"";
  if (text != nullptr) LocalFree(text);
  // One line, as the other system's texts: no line end, no closing full stop.
  while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L' ' ||
                             reason.back() == L'.')) {
    reason.pop_back();
  }
  for (wchar_t& c : reason) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  return reason.empty() ? "error " + std::to_string(error) : Utf8FromWide(reason);
}

formats::ParseError WindowsError(const std::string& what, unsigned long error) {
  return formats::MakeError(formats::ErrorCode::kIo, 0, what + ": " + WindowsErrorText(error));
}

}  // namespace converter
