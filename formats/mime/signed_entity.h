// The head of a stored clear-signed entity (multipart/signed, RFC 1847): which of
// its header fields go out with it, and where the signed bytes begin.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace formats::mime {

// Longest header block looked for at the start of a signed entity.
inline constexpr size_t kMaxSignedHeaderBytes = 64 * 1024;

struct SignedEntityHead {
  std::string fields;  // the entity's header fields we keep, CR LF lines, no blank line
  uint64_t length = 0;  // bytes of the stored header block up to (not including) the blank line
};

// The header block at the start of bytes when it is well formed (every line a
// field or a continuation, a blank line within bytes) and its Content-Type is
// multipart/signed; nullopt otherwise. Content-* and X-* fields are kept, the
// rest (MIME-Version and anything addressing) is left to the enclosing message.
std::optional<SignedEntityHead> ParseSignedEntityHead(std::string_view bytes);

}  // namespace formats::mime
