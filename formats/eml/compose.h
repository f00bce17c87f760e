// Turns the .msg model into the MIME tree that formats::mime writes.
//
// Composition decides what the .eml carries: the fields of a received item's
// stored header block in their order and text (the MIME structure fields
// excepted), From (the represented owner, with Sender, for mail sent on behalf
// of someone), To/Cc/Bcc, Reply-To, Subject, Date, Message-ID, the references,
// importance, priority, sensitivity, categories and the author's language; one
// HTML body (always text/html, the part's charset describing its bytes; an
// item whose only body is an empty plain text keeps it as an empty text/plain),
// with the stored plain text before it in
// multipart/alternative, the calendar of a meeting request, cancellation or
// response as their last alternative, inline images beside
// them in multipart/related, every other attachment in multipart/mixed,
// embedded messages as message/rfc822,
// and the signed or encrypted body of S/MIME items unchanged. A report goes out
// as multipart/report (its body, a machine-readable part from its report
// properties, the original), addressed to whom it reached; Outlook's states
// become X-Unsent, Thread-Index, Thread-Topic and X-Message-Flag. Attachment
// bytes are not read here: the tree holds sources that pull them while it is
// written.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "formats/common/result.h"
#include "formats/mime/entity.h"
#include "formats/msg/content.h"
#include "formats/msg/message.h"

namespace formats::eml {

struct ComposeOptions {
  // Unix seconds, for the Date of an item that carries no time at all.
  std::function<int64_t()> now;
  // 32 hex digits for a generated Message-ID.
  std::function<std::string()> random_hex;
};

// True for the message classes converted as mail: notes (IPM.Note and its
// subclasses), meeting requests and responses, and reports about either; an empty
// class counts as IPM.Note.
bool IsMailClass(std::string_view message_class);

// The MIME tree for `message`. The tree refers to `message` and `content`, which
// must outlive it. Errors: kNotMail (the class, named), kNoSender, kBadAddress (a
// recipient without an Internet address), kBadRtf and the compound file errors
// from content that must be read now (the RTF body).
Result<mime::Message> ComposeMessage(const msg::Message& message, const msg::ContentAccess& content,
                                     const ComposeOptions& options);

// Helpers exposed for tests.

// The Internet address of an address group: the SMTP address property, else the
// address property under type SMTP, else the SMTP address of a one-off entry id,
// else the address itself when it is an Internet address (whatever its declared
// type), else, with no address stored, the name when it is one; nullopt when
// there is none. An address property holding a whole mailbox ("Name <a@b>")
// gives the address inside the angle brackets.
std::optional<std::string> InternetAddress(const msg::Address& address);

// The attachment's file name as stored, without directories and control
// characters, at most 255 bytes of whole UTF-8 characters; empty when nothing
// but blanks is left.
std::string SanitizeFileName(std::string_view name);

// HTML with every <meta> charset declaration changed to utf-8.
std::string RewriteMetaCharset(std::string_view html);

}  // namespace formats::eml
