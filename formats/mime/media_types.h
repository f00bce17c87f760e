// Media types for attachments: the MIME tag a file carries, or a guess from the
// file name's extension.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace formats::mime {

// "type/subtype" in lower case when tag is one (parameters after ';' dropped,
// surrounding blanks ignored); nullopt for anything else.
std::optional<std::string> NormalizeMediaType(std::string_view tag);

// The media type for a file name's extension from a built-in table of common
// types (compared without regard to case); "application/octet-stream" otherwise.
std::string MediaTypeForFileName(std::string_view file_name);

// Extension (with its dot) for a media type, for naming parts that have no name:
// ".bin" when the table has none.
std::string ExtensionForMediaType(std::string_view media_type);

}  // namespace formats::mime
