#include "formats/mime/media_types.h"

#include <algorithm>
#include <array>
#include <utility>

#include "formats/common/ascii.h"

namespace formats::mime {

namespace {

// Common attachment types. Kept short on purpose: a wrong guess is worse than
// application/octet-stream, which every reader handles.
constexpr std::array<std::pair<std::string_view, std::string_view>, 52> kTypes{{
    {".7z", "application/x-7z-compressed"},
    {".avi", "video/x-msvideo"},
    {".bmp", "image/bmp"},
    {".csv", "text/csv"},
    {".doc", "application/msword"},
    {".docm", "application/vnd.ms-word.document.macroEnabled.12"},
    {".docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {".dot", "application/msword"},
    {".eml", "message/rfc822"},
    {".gif", "image/gif"},
    {".gz", "application/gzip"},
    {".htm", "text/html"},
    {".html", "text/html"},
    {".ico", "image/x-icon"},
    {".ics", "text/calendar"},
    {".jpeg", "image/jpeg"},
    {".jpg", "image/jpeg"},
    {".js", "text/javascript"},
    {".json", "application/json"},
    {".log", "text/plain"},
    {".m4a", "audio/mp4"},
    {".mov", "video/quicktime"},
    {".mp3", "audio/mpeg"},
    {".mp4", "video/mp4"},
    {".mpg", "video/mpeg"},
    {".msg", "application/vnd.ms-outlook"},
    {".odp", "application/vnd.oasis.opendocument.presentation"},
    {".ods", "application/vnd.oasis.opendocument.spreadsheet"},
    {".odt", "application/vnd.oasis.opendocument.text"},
    {".p7m", "application/pkcs7-mime"},
    {".p7s", "application/pkcs7-signature"},
    {".pdf", "application/pdf"},
    {".png", "image/png"},
    {".ppt", "application/vnd.ms-powerpoint"},
    {".pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {".rar", "application/vnd.rar"},
    {".rtf", "application/rtf"},
    {".svg", "image/svg+xml"},
    {".tar", "application/x-tar"},
    {".tif", "image/tiff"},
    {".tiff", "image/tiff"},
    {".txt", "text/plain"},
    {".vcf", "text/vcard"},
    {".wav", "audio/wav"},
    {".webp", "image/webp"},
    {".wmv", "video/x-ms-wmv"},
    {".xls", "application/vnd.ms-excel"},
    {".xlsm", "application/vnd.ms-excel.sheet.macroEnabled.12"},
    {".xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {".xml", "application/xml"},
    {".zip", "application/zip"},
    {".emf", "image/emf"},
}};

bool IsTokenChar(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return c > 0x20 && c < 0x7F && std::string_view("()<>@,;:\\\"/[]?=").find(ch) == std::string_view::npos;
}

}  // namespace

std::optional<std::string> NormalizeMediaType(std::string_view tag) {
  tag = tag.substr(0, tag.find(';'));
  while (!tag.empty() && (tag.front() == ' ' || tag.front() == '\t')) tag.remove_prefix(1);
  while (!tag.empty() && (tag.back() == ' ' || tag.back() == '\t')) tag.remove_suffix(1);
  const size_t slash = tag.find('/');
  if (slash == std::string_view::npos || slash == 0 || slash + 1 == tag.size() || tag.size() > 200) {
    return std::nullopt;
  }
  const std::string_view type = tag.substr(0, slash);
  const std::string_view subtype = tag.substr(slash + 1);
  if (!std::all_of(type.begin(), type.end(), IsTokenChar) ||
      !std::all_of(subtype.begin(), subtype.end(), IsTokenChar)) {
    return std::nullopt;
  }
  return AsciiLower(tag);
}

std::string MediaTypeForFileName(std::string_view file_name) {
  const size_t dot = file_name.rfind('.');
  if (dot != std::string_view::npos) {
    const std::string ext = AsciiLower(file_name.substr(dot));
    for (const auto& [e, type] : kTypes) {
      if (e == ext) return std::string(type);
    }
  }
  return "application/octet-stream";
}

std::string ExtensionForMediaType(std::string_view media_type) {
  const std::string type = AsciiLower(media_type);
  for (const auto& [e, t] : kTypes) {
    if (t == type) return std::string(e);
  }
  return ".bin";
}

}  // namespace formats::mime
