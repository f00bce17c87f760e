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
#include "formats/msg/recurrence.h"
#include "formats/msg/timezone.h"

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

// The delivery report of one recipient row of a report item ([MS-OXOMSG]).
struct RecipientReport {
  std::optional<uint32_t> diag_code;    // PidTagNonDeliveryReportDiagCode
  std::optional<uint32_t> reason_code;  // PidTagNonDeliveryReportReasonCode
  std::optional<uint32_t> status_code;  // PidTagNonDeliveryReportStatusCode, e.g. 511 for 5.1.1
  std::string remote_mta;               // PidTagRemoteMessageTransferAgent
  std::string supplementary_info;       // PidTagSupplementaryInfo, "<mta #5.1.1 text>"
};

// What an item holds beyond a letter: a report's own properties and
// Outlook's states that have Internet forms. Read by ReadMailExtras; a property
// that cannot be read is left empty with a warning.
struct MailExtras {
  // Reports (REPORT.*).
  std::string reporting_mta;        // PidTagReportingMessageTransferAgent
  std::string original_message_id;  // PidTagOriginalMessageId
  std::string disposition;          // PidTagReportDisposition: "displayed", "deleted"
  std::string disposition_mode;     // PidTagReportDispositionMode: "manual-action/MDN-sent-manually"
  std::optional<uint64_t> original_submit_time;  // PidTagOriginalSubmitTime (FILETIME)
  Address received_by;              // PidTagReceivedBy*: whom the report reached
  Address original_sender;          // PidTagOriginalSender*: who sent the original
  // One per entry of Message::recipients, in the same order; empty for items
  // that are not reports.
  std::vector<RecipientReport> recipients;

  // Outlook's states.
  bool unsent = false;                    // PidTagMessageFlags has mfUnsent
  std::vector<uint8_t> conversation_index;  // PidTagConversationIndex
  std::string conversation_topic;         // PidTagConversationTopic
  bool flagged = false;                   // PidTagFlagStatus is followupFlagged
  std::string flag_request;               // PidLidFlagRequest: the flag's text
};

struct Attachment {
  // The long file name, else the display name (with the extension, or the
  // short name's, when it has none), else the 8.3 short name.
  std::string filename;
  std::string long_filename, short_filename, display_name, extension;
  std::string mime_tag, content_id, content_location;
  std::string pathname;  // by-reference target (long pathname, else pathname)
  AttachMethod method = AttachMethod::kByValue;
  uint32_t flags = 0;  // PidTagAttachFlags
  // PidTagRenderingPosition: where a rich-text body places the attachment
  // (0xFFFFFFFF or absent: nowhere).
  std::optional<uint32_t> rendering_position;
  bool hidden = false;  // PidTagAttachmentHidden
  // PidTagCreationTime and PidTagLastModificationTime of the attached file (FILETIME).
  std::optional<uint64_t> creation_time, modification_time;
  std::optional<StreamRef> data;      // PidTagAttachDataBinary
  std::unique_ptr<Message> embedded;  // method 5: the embedded message
  // Method 6 (OLE): the storage's own streams are reachable through the file; the
  // converter decides what to emit.
  std::optional<uint32_t> object_storage;
  uint32_t storage = 0;  // directory entry of the __attach_version1.0_# storage
};

// The appointment a meeting request, cancellation or response carries
// ([MS-OXOCAL] named properties of PSETID_Appointment and PSETID_Meeting).
struct Meeting {
  // FILETIME (UTC) of PidLidAppointmentStartWhole and PidLidAppointmentEndWhole.
  std::optional<uint64_t> start, end;
  bool all_day = false;    // PidLidAppointmentSubType
  std::string location;    // PidLidLocation, else PidLidWhere
  // PidLidGlobalObjectId and PidLidCleanGlobalObjectId as stored (at most
  // limits::kMaxEntryIdBytes; longer ones are left out).
  std::vector<uint8_t> global_object_id, clean_global_object_id;
  uint32_t sequence = 0;   // PidLidAppointmentSequence
  // PidLidExceptionReplaceTime (FILETIME): the original start of the one
  // occurrence of a series that the item changes.
  std::optional<uint64_t> exception_replace_time;
  // PidLidOwnerCriticalChange and PidLidAttendeeCriticalChange (FILETIME).
  std::optional<uint64_t> owner_critical_change, attendee_critical_change;
  uint32_t busy_status = 2;  // PidLidBusyStatus: 0 free, 1 tentative, 2 busy, 3 away
  bool response_requested = true;  // PidTagResponseRequested
  // PidLidAppointmentTimeZoneDefinitionStartDisplay and ...EndDisplay.
  std::optional<TimeZone> start_zone, end_zone;
  // PidLidAppointmentRecur, with the zone its local times are in:
  // PidLidAppointmentTimeZoneDefinitionRecur, else PidLidTimeZoneStruct.
  std::optional<Recurrence> recurrence;
  std::optional<TimeZone> recurrence_zone;
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
  // Whether the RTF is the item's own body ([MS-OXCMSG]): PidTagRtfInSync,
  // PidTagNativeBody (1 plain, 2 RTF, 3 HTML) and the RTF sync properties.
  std::optional<bool> rtf_in_sync;
  std::optional<uint32_t> native_body;
  std::string rtf_sync_body_tag;  // PidTagRtfSyncBodyTag: the text's first significant characters
  std::optional<uint32_t> rtf_sync_body_count;  // PidTagRtfSyncBodyCount

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
  std::optional<uint32_t> locale_id;  // PidTagMessageLocaleId (an LCID)
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

  MailExtras extras;

  // Meeting items (IPM.Schedule.Meeting.*, IPM.Appointment*): the appointment.
  // Absent for other items, and for one whose recurrence pattern or time-zone
  // definition does not parse (with a warning).
  std::optional<Meeting> meeting;
};

}  // namespace formats::msg
