#include "formats/mime/signed_entity.h"

#include "formats/common/ascii.h"

namespace formats::mime {

// Outlook keeps a few outer fields in the stored entity (MIME-Version, X-MimeOLE)
// besides Content-Type. The signature covers only what follows the blank line,
// which the caller passes on untouched.
std::optional<SignedEntityHead> ParseSignedEntityHead(std::string_view bytes) {
  SignedEntityHead head;
  bool has_signed_type = false;
  bool keep = false;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) return std::nullopt;  // no blank line within the limit
    std::string_view line = bytes.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) {
      if (!has_signed_type) return std::nullopt;
      head.length = pos;
      return head;
    }
    if (line.front() == ' ' || line.front() == '\t') {
      if (pos == 0) return std::nullopt;
    } else {
      const size_t colon = line.find(':');
      if (colon == std::string_view::npos || colon == 0) return std::nullopt;
      for (char c : line.substr(0, colon)) {
        if (c <= 0x20 || c >= 0x7F) return std::nullopt;
      }
      const std::string_view name = line.substr(0, colon);
      // Only the entity's own fields: addressing fields there would repeat (or
      // contradict) the message's header written above them.
      keep = StartsWithIgnoreCase(name, "Content-") || StartsWithIgnoreCase(name, "X-");
      if (EqualsIgnoreCase(name, "Content-Type")) {
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
        has_signed_type = StartsWithIgnoreCase(value, "multipart/signed");
      }
    }
    if (keep) {
      head.fields += line;
      head.fields += "\r\n";
    }
    pos = end + 1;
  }
  return std::nullopt;
}

}  // namespace formats::mime
