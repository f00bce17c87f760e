// Reading an RFC 5322 header block as stored (a received item's transport
// headers, the head of a stored entity): its fields in their original order, and
// the mailboxes of an address field.
//
// The reader is lenient, since these blocks come from other programs: it stops at
// the first blank line or at the end of the text, skips a line that is not a
// field (and the continuation lines that follow it), and hands out views into the
// text without allocating.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/mime/header.h"

namespace formats::mime {

struct HeaderField {
  std::string_view name;  // as stored, before the colon
  // Everything after the colon up to the end of the field's last line, without
  // that line's end; the line ends of continuation lines are kept as stored.
  std::string_view raw_value;
};

// Yields the fields of a header block one at a time. Lines end in LF or CR LF; a
// field name is one or more printable ASCII characters other than the colon.
// The views point into the text given, which must outlive them.
class HeaderBlockReader {
 public:
  explicit HeaderBlockReader(std::string_view block) : block_(block) {}
  // The next field, nullopt at the blank line that ends the block or at its end.
  std::optional<HeaderField> Next();

 private:
  // The next line without its line end, nullopt when the block is over.
  std::optional<std::string_view> NextLine();

  std::string_view block_;
  size_t pos_ = 0;
  bool ended_ = false;
  // A line read ahead while looking for a field's continuation lines.
  std::optional<std::string_view> pending_;
};

// The lines of a raw field value, each without its LF or CR LF; views into
// raw_value. An empty value is one empty line.
std::vector<std::string_view> RawValueLines(std::string_view raw_value);

// A raw field value with its line ends removed (RFC 5322 3.2.2 unfolding): each
// LF goes, and the CR just before it; the blanks that start a continuation line
// stay.
std::string Unfold(std::string_view raw_value);

// The mailboxes of the first field called `field` ("From", "To", "Cc", compared
// without case) in a header block. The value is split at commas outside quotes
// and angle brackets; only well-formed addresses are kept.
std::vector<Mailbox> HeaderMailboxes(std::string_view headers, std::string_view field);

}  // namespace formats::mime
