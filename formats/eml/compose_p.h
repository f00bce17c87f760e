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
#include "formats/mime/entity.h"
#include "formats/mime/header.h"
#include "formats/mime/header_block.h"

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
  // The one who sent it, when that is not the owner it was sent for (From).
  std::optional<mime::Mailbox> sender;
  std::array<std::vector<mime::Mailbox>, 3> lists;  // To, Cc, Bcc
  std::vector<mime::Mailbox> reply_to;
};

// The sender and the recipients as Internet mailboxes. Errors (top level only):
// kNoSender, then kBadAddress for the first recipient without an address.
Result<Addresses> ResolveAddresses(const msg::Message& m, bool top_level);

// body.cpp

struct HtmlBody {
  std::string html;  // UTF-8, CR LF lines
  // The pictures of a rendered RTF body: those the HTML shows (by Content-ID),
  // and those it cannot show, which go along as attachments.
  std::vector<mime::Entity> inline_parts;
  std::vector<mime::Entity> attached;
  // Per attachment of the item (or empty): a Content-ID the HTML refers to it
  // by, made for an image the RTF places in its text.
  std::vector<std::string> attachment_cids;
  // The item's plain body is other text than this one, not its alternative.
  bool plain_is_other = false;
};

// The HTML of the body, UTF-8, from the first source that has one; empty when
// the item's only body is an empty plain text. Content-IDs
// made for the pictures of rendered RTF end in cid_suffix ("hex@domain").
// Errors: those of reading the compressed RTF.
Result<HtmlBody> BodyHtml(const msg::Message& m, const msg::ContentAccess& content, std::string_view cid_suffix);

// The item's plain-text body (PidTagBody) as the text/plain alternative, UTF-8
// with CR LF lines; nullopt when it has none or only blanks.
std::optional<std::string> BodyText(const msg::Message& m);

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
// made_cid: a Content-ID the body gave the attachment when it has none of its own.
Result<std::optional<mime::Entity>> AttachmentPart(const Context& context, const msg::Attachment& a,
                                                   const std::set<std::string>& cids, const std::string& lower_html,
                                                   std::vector<mime::Entity>& inline_parts,
                                                   std::string_view made_cid = {});

// calendar.cpp

// The text/calendar part (charset and method parameters set) of a meeting
// request, cancellation or response, built from m.meeting; nullopt for other
// items and for a meeting without a start.
std::optional<mime::Entity> CalendarPart(const msg::Message& m, bool top_level);

// report.cpp

// Whom a report was sent to: the To of its stored header block, else its
// received-by or original-sender group. A report's recipient table lists the
// original's recipients, so it never says this.
std::vector<mime::Mailbox> ReportAddressees(const msg::Message& m);

// What a report holds beside its body.
struct ReportParts {
  std::string report_type;  // "delivery-status" or "disposition-notification"
  mime::Entity machine;     // message/delivery-status or message/disposition-notification
  std::optional<mime::Entity> original;
};

// The parts of a report (REPORT.<original class>.<kind>): delivery-status for
// (non-)delivery, relay, delay and expansion reports, disposition-notification
// for read and not-read reports. nullopt for other items and for a report
// whose properties give no machine-readable part (it then converts as a letter).
// The original (the first embedded message, else a stored message or header
// block) is taken out of `attached`.
std::optional<ReportParts> TakeReportParts(const msg::Message& m, std::vector<mime::Entity>& attached);

// multipart/report of the body, the machine part and the original.
mime::Entity ReportEntity(mime::Entity body, ReportParts parts);

// smime.cpp

// The signed or encrypted body of an S/MIME item, nullopt for other items. The
// lower-case names of the header fields a signed entity writes itself go into
// entity_fields.
Result<std::optional<mime::Entity>> SmimeBody(const msg::Message& m, const msg::ContentAccess& content,
                                              std::set<std::string>& entity_fields);

// stored_header.cpp

// A header field the composer builds: its lower-case name and the folded field.
// stored_wins: a field of that name in the stored header block is written instead.
struct OwnField {
  std::string name;
  std::string text;
  bool stored_wins = false;
};

// The header of an item whose stored header block (a received item's transport
// headers) is `block`: the block's fields in their order and with their text, the
// composer's own fields where the block has a field of their name, the rest of
// them after. Left out of the block: the MIME structure fields, which the writer
// makes for its own tree, the fields named in `skip`, and the fields the
// composer always builds from the item's properties (Date, From, Sender, To, Cc,
// Bcc, Subject, Message-ID, MIME-Version) when it has none of that name. Only
// the first limits::kMaxStoredHeaderBytes of a block are read; a field that
// cannot be written with its own text is left out.
std::vector<std::string> MergeStoredHeader(std::string_view block, std::vector<OwnField> own,
                                           const std::set<std::string>& skip);

// The first field called `name` (compared without case) in the block as read
// by MergeStoredHeader; a view into `block`.
std::optional<mime::HeaderField> FirstStoredField(std::string_view block, std::string_view name);

// The block's Date as it stands when it is the instant of submit_time (FILETIME);
// nullopt otherwise.
std::optional<std::string> StoredDate(std::string_view block, std::optional<uint64_t> submit_time);

}  // namespace formats::eml
