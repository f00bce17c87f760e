// What the parts of the composer share: each file composes one concern, and
// composer.cpp joins them into the message.
#pragma once

#include <array>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "formats/eml/compose.h"
#include "formats/mime/header.h"

namespace formats::eml {

// What the composition of one file refers to throughout.
struct Context {
  const msg::ContentAccess& content;
  const ComposeOptions& options;
};

inline std::string RemoveNuls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\0') out += c;
  }
  return out;
}

// The message in `m` composed as the top-level item or as one embedded in it.
Result<mime::Message> ComposeItem(const Context& context, const msg::Message& m, bool top_level);

// addresses.cpp

struct Addresses {
  std::optional<mime::Mailbox> from;  // absent only for an embedded item
  std::array<std::vector<mime::Mailbox>, 3> lists;  // To, Cc, Bcc
};

// The sender and the recipients as Internet mailboxes. Errors (top level only):
// kNoSender, then kBadAddress for the first recipient without an address.
Result<Addresses> ResolveAddresses(const msg::Message& m, bool top_level);

// body.cpp

// The HTML of the body, UTF-8, from the first source that has one. Errors: those
// of reading the compressed RTF.
Result<std::string> BodyHtml(const msg::Message& m, const msg::ContentAccess& content);

// Every cid: reference in the HTML, %-decoded and lower-cased (RFC 2392).
std::set<std::string> CidReferences(std::string_view html);

// Content-ID without angle brackets when it can stand in a header; empty otherwise.
std::string UsableContentId(std::string_view id);

// attachments.cpp

// A leaf part under `name`, attached or inline.
mime::Entity NamedLeaf(std::string media_type, const std::string& name, bool inline_part);

// The attachment's data, read when the part is written.
mime::ChunkSource AttachmentSource(const msg::Attachment& a, const msg::ContentAccess& content);

// The part for one attachment: inline images go to inline_parts (nullopt is
// returned), everything else comes back for multipart/mixed. lower_html is the
// body lower-cased, cids its CidReferences.
Result<std::optional<mime::Entity>> AttachmentPart(const Context& context, const msg::Attachment& a,
                                                   const std::set<std::string>& cids, const std::string& lower_html,
                                                   std::vector<mime::Entity>& inline_parts);

// smime.cpp

// The signed or encrypted body of an S/MIME item, nullopt for other items.
Result<std::optional<mime::Entity>> SmimeBody(const msg::Message& m, const msg::ContentAccess& content);

}  // namespace formats::eml
