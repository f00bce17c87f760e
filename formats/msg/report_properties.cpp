#include "formats/msg/report_properties.h"

#include <cstdio>

#include "formats/common/ascii.h"
#include "formats/common/limits.h"

namespace formats::msg {

namespace {

// Property ids ([MS-OXPROPS]).
constexpr uint16_t kReceivedByEntryId = 0x003F;
constexpr uint16_t kReceivedByName = 0x0040;
constexpr uint16_t kOriginalSubmitTime = 0x004E;
constexpr uint16_t kOriginalSenderName = 0x005A;
constexpr uint16_t kOriginalSenderEntryId = 0x005B;
constexpr uint16_t kOriginalSenderAddressType = 0x0066;
constexpr uint16_t kOriginalSenderEmailAddress = 0x0067;
constexpr uint16_t kConversationTopic = 0x0070;
constexpr uint16_t kConversationIndex = 0x0071;
constexpr uint16_t kReceivedByAddressType = 0x0075;
constexpr uint16_t kReceivedByEmailAddress = 0x0076;
constexpr uint16_t kReportDisposition = 0x0080;
constexpr uint16_t kReportDispositionMode = 0x0081;
constexpr uint16_t kNonDeliveryReportReasonCode = 0x0C04;
constexpr uint16_t kNonDeliveryReportDiagCode = 0x0C05;
constexpr uint16_t kSupplementaryInfo = 0x0C1B;
constexpr uint16_t kNonDeliveryReportStatusCode = 0x0C20;
constexpr uint16_t kRemoteMessageTransferAgent = 0x0C21;
constexpr uint16_t kMessageFlags = 0x0E07;
constexpr uint16_t kOriginalMessageId = 0x1046;
constexpr uint16_t kFlagStatus = 0x1090;
constexpr uint16_t kReceivedBySmtpAddress = 0x5D07;
constexpr uint16_t kReportingMessageTransferAgent = 0x6820;
constexpr uint32_t kLidFlagRequest = 0x8530;  // PSETID_Common

constexpr uint32_t kMessageFlagUnsent = 0x00000008;  // mfUnsent
constexpr uint32_t kFollowupFlagged = 2;             // PidTagFlagStatus

// A conversation index is 22 bytes and 5 more per reply; Thread-Index carries
// only what fits one header line, so a larger blob is not read.
constexpr uint64_t kMaxConversationIndexBytes = 700;

class ExtrasReader {
 public:
  ExtrasReader(std::span<const uint32_t> codepages, Message& m) : codepages_(codepages), m_(m) {}

  void String(const PropertyBag& bag, uint16_t id, std::string& out) {
    Result<std::optional<std::string>> value = bag.GetString(id, codepages_);
    if (!value) return Warn(id, value.error().detail);
    if (*value) out = std::move(**value);
  }

  std::optional<std::vector<uint8_t>> Binary(const PropertyBag& bag, uint16_t id, uint64_t max_bytes) {
    Result<std::optional<std::vector<uint8_t>>> value = bag.GetBinary(id, max_bytes);
    if (!value) {
      Warn(id, value.error().detail);
      return std::nullopt;
    }
    return std::move(*value);
  }

  // An address group by name, address type, address, SMTP address (0: none)
  // and entry id: a one-off entry id gives the SMTP address, an Exchange one
  // the DN.
  void Group(const PropertyBag& bag, uint16_t name, uint16_t type, uint16_t address, uint16_t smtp, uint16_t entry_id,
             Address& out) {
    String(bag, name, out.name);
    String(bag, type, out.address_type);
    String(bag, address, out.address);
    if (smtp != 0) String(bag, smtp, out.smtp_address);
    if (!out.smtp_address.empty() && !out.address.empty()) return;
    std::optional<std::vector<uint8_t>> id = Binary(bag, entry_id, limits::kMaxEntryIdBytes);
    if (!id) return;
    if (std::optional<OneOffEntryId> one_off = ParseOneOffEntryId(*id, codepages_.front())) {
      if (EqualsIgnoreCase(one_off->address_type, "SMTP") && out.smtp_address.empty()) {
        out.smtp_address = one_off->address;
      }
    }
    if (std::optional<std::string> dn = ParseExchangeEntryId(*id); dn && out.address.empty()) {
      out.address = std::move(*dn);
      out.address_type = "EX";
    }
  }

 private:
  void Warn(uint16_t id, const std::string& detail) {
    char tag[8];
    std::snprintf(tag, sizeof tag, "%04X", id);
    m_.warnings.push_back("property 0x" + std::string(tag) + " left out: " + detail);
  }

  std::span<const uint32_t> codepages_;
  Message& m_;
};

}  // namespace

void ReadMailExtras(const PropertyBag& bag, const NamedProperties& named, std::span<const uint32_t> codepages,
                    std::span<const cfb::EntryId> recipient_storages, Message& m) {
  MailExtras& x = m.extras;
  ExtrasReader read(codepages, m);

  x.unsent = (bag.GetLong(kMessageFlags).value_or(0) & kMessageFlagUnsent) != 0;
  read.String(bag, kConversationTopic, x.conversation_topic);
  if (std::optional<cfb::EntryId> index = bag.FindStream(kConversationIndex, kPtBinary);
      index && bag.file().entry(*index).size <= kMaxConversationIndexBytes) {
    if (auto bytes = read.Binary(bag, kConversationIndex, kMaxConversationIndexBytes)) {
      x.conversation_index = std::move(*bytes);
    }
  }
  x.flagged = bag.GetLong(kFlagStatus) == kFollowupFlagged;
  if (x.flagged) {
    if (std::optional<uint16_t> id = named.FindNumbered(NamedProperties::kCommon, kLidFlagRequest)) {
      read.String(bag, *id, x.flag_request);
    }
  }

  if (!StartsWithIgnoreCase(m.message_class, "REPORT.")) return;
  read.String(bag, kReportingMessageTransferAgent, x.reporting_mta);
  read.String(bag, kOriginalMessageId, x.original_message_id);
  read.String(bag, kReportDisposition, x.disposition);
  read.String(bag, kReportDispositionMode, x.disposition_mode);
  x.original_submit_time = bag.GetTime(kOriginalSubmitTime);
  read.Group(bag, kReceivedByName, kReceivedByAddressType, kReceivedByEmailAddress, kReceivedBySmtpAddress,
             kReceivedByEntryId, x.received_by);
  read.Group(bag, kOriginalSenderName, kOriginalSenderAddressType, kOriginalSenderEmailAddress, 0,
             kOriginalSenderEntryId, x.original_sender);

  // The recipient rows were read before; their report properties are read
  // here, for reports only, so letters pay nothing for them.
  x.recipients.resize(m.recipients.size());
  for (size_t i = 0; i < recipient_storages.size() && i < x.recipients.size(); ++i) {
    Result<PropertyBag> r = PropertyBag::Read(bag.file(), recipient_storages[i], kChildHeaderSize);
    if (!r) {
      m.warnings.push_back("report properties of recipient " + std::to_string(i) + " left out: " + r.error().detail);
      continue;
    }
    RecipientReport& out = x.recipients[i];
    out.diag_code = r->GetLong(kNonDeliveryReportDiagCode);
    out.reason_code = r->GetLong(kNonDeliveryReportReasonCode);
    out.status_code = r->GetLong(kNonDeliveryReportStatusCode);
    read.String(*r, kRemoteMessageTransferAgent, out.remote_mta);
    read.String(*r, kSupplementaryInfo, out.supplementary_info);
  }
}

}  // namespace formats::msg
