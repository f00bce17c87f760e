// The .msg model: what a converter needs of one Outlook item, decoded.
//
// All strings are UTF-8 (8-bit properties were decoded with the item's code page).
// Large binary values (attachment bytes) are not copied: they stay in the compound
// file and are read through a StreamRef while the CompoundFile is alive.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/common/result.h"

namespace formats::cfb {
class CompoundFile;
}

namespace formats::msg {

// A stream inside the compound file, read piece by piece. Valid while the
// CompoundFile it came from is alive.
class StreamRef {
 public:
  StreamRef() = default;
  StreamRef(const cfb::CompoundFile* file, uint32_t entry, uint64_t size)
      : file_(file), entry_(entry), size_(size) {}

  uint64_t size() const { return size_; }

  // Calls sink with successive pieces of the stream, in order, until all bytes were
  // given or sink returns false. Errors: a broken sector chain.
  Status ForEachChunk(const std::function<bool(std::span<const uint8_t>)>& sink) const;
  // The whole stream in memory; kLimitExceeded when it is larger than max_bytes.
  Result<std::vector<uint8_t>> ReadAll(uint64_t max_bytes) const;

 private:
  const cfb::CompoundFile* file_ = nullptr;
  uint32_t entry_ = 0;
  uint64_t size_ = 0;
};

// PidTagAttachMethod values.
enum class AttachMethod : uint32_t {
  kNone = 0,
  kByValue = 1,
  kByReference = 2,
  kByRefResolve = 3,
  kByRefOnly = 4,
  kEmbeddedMessage = 5,
  kOle = 6,
  kByWebReference = 7,
};

struct Address {
  std::string name;          // display name
  std::string address;       // in address_type's form (may be an X.500 DN for "EX")
  std::string address_type;  // "SMTP", "EX", ...
  std::string smtp_address;  // PidTag*SmtpAddress, or the SMTP address of a one-off entry id
  // smtp_address came from the entry id: the address properties outrank it.
  bool smtp_from_entry_id = false;
};

struct Recipient : Address {
  int32_t type = 1;  // PidTagRecipientType, flags included: 1 To, 2 Cc, 3 Bcc
};

struct Message;

struct Attachment {
  std::string filename;  // long file name, else short, else display name
  std::string long_filename, short_filename, display_name, extension;
  std::string mime_tag, content_id, content_location;
  std::string pathname;  // by-reference target (long pathname, else pathname)
  AttachMethod method = AttachMethod::kByValue;
  uint32_t flags = 0;  // PidTagAttachFlags
  bool hidden = false;  // PidTagAttachmentHidden
  std::optional<StreamRef> data;      // PidTagAttachDataBinary
  std::unique_ptr<Message> embedded;  // method 5: the embedded message
  // Method 6 (OLE): the storage's own streams are reachable through the file; the
  // converter decides what to emit.
  std::optional<uint32_t> object_storage;
  uint32_t storage = 0;  // directory entry of the __attach_version1.0_# storage
};

struct Message {
  std::string message_class;  // "IPM.Note", ...
  std::string subject;
  Address sender;              // PidTagSender*
  Address sent_representing;   // PidTagSentRepresenting*
  // PidTagCreator* and PidTagLastModifier*: name, the DN of the entry id (type
  // "EX") or the SMTP address of a one-off one, and PidTag*SmtpAddress.
  Address creator;
  Address last_modifier;
  std::vector<Recipient> recipients;
  std::vector<Attachment> attachments;

  std::optional<std::string> body;   // PidTagBody, UTF-8
  // PidTagHtml / PidTagBodyHtml as stored: bytes in internet_codepage when binary,
  // or UTF-8 when the file held it as a Unicode string (html_is_utf8).
  std::optional<std::string> html;
  bool html_is_utf8 = false;
  std::optional<StreamRef> rtf_compressed;  // PidTagRtfCompressed

  uint32_t internet_codepage = 0;  // PidTagInternetCodepage, 0 when absent
  uint32_t message_codepage = 0;   // PidTagMessageCodepage, 0 when absent
  // The code page 8-bit strings of this item were decoded with (the Unicode
  // forms need none); embedded messages start from their parent's.
  uint32_t string_codepage = 1252;

  // FILETIME values (100 ns ticks since 1601-01-01 UTC); absent when missing or zero.
  std::optional<uint64_t> client_submit_time;
  std::optional<uint64_t> delivery_time;
  std::optional<uint64_t> creation_time;

  std::string internet_message_id;  // with angle brackets as stored
  std::string in_reply_to;
  std::string references;
  std::string transport_headers;  // PidTagTransportMessageHeaders
  // The named property "Content-Type" of the PS_INTERNET_HEADERS set: the full
  // header value of an S/MIME item's outer entity (e.g. "application/pkcs7-mime;
  // smime-type=enveloped-data; name=smime.p7m"), empty when absent.
  std::string internet_content_type;
  int32_t importance = 1;   // PidTagImportance: 0 low, 1 normal, 2 high
  int32_t priority = 0;     // PidTagPriority: 1 urgent, 0 normal, -1 not urgent
  int32_t sensitivity = 0;  // PidTagSensitivity: 0 none, 1 personal, 2 private, 3 confidential
  // The named property Keywords of PS_PUBLIC_STRINGS, in order.
  std::vector<std::string> categories;
  // PidTagReplyRecipientEntries: the one-off entries of the list (other entry
  // ids name address book objects and are left out); a name the entry lacks comes
  // from the same position of PidTagReplyRecipientNames.
  std::vector<Address> reply_to;

  // Directory entry of the storage the item was read from (the root, or an
  // attachment's __substg1.0_3701000D storage), for properties not in the model.
  uint32_t storage = 0;
  int depth = 0;  // 0 for the file's own item, n for an item embedded n levels deep

  // Non-fatal oddities met while reading (tolerated), one line each.
  std::vector<std::string> warnings;
};

}  // namespace formats::msg
