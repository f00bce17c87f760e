// Reports as the Internet writes them: multipart/report (RFC 6522) holding the
// report's body, a machine-readable part built from the report properties as
// [MS-OXCMAIL] maps them (message/delivery-status, RFC 3464, for delivery and
// non-delivery reports; message/disposition-notification, RFC 8098, for read
// and not-read reports) and the original message where the file holds it.
#include <algorithm>
#include <array>

#include "formats/common/ascii.h"
#include "formats/eml/compose_p.h"
#include "formats/msg/filetime.h"

namespace formats::eml {

namespace {

// A value of the machine part stays on one line (no folding, no encoded
// words: readers take these fields as they stand), at most this long.
constexpr size_t kMaxReportValue = 900;

// Printable ASCII, control characters as spaces and other bytes as '?', cut
// to kMaxReportValue; blanks around it dropped.
std::string ReportValue(std::string_view text) {
  std::string out;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == 0) continue;
    out += c < 0x20 || c == 0x7F ? ' ' : c >= 0x80 ? '?' : ch;
    if (out.size() == kMaxReportValue) break;
  }
  const size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

// "dns; host" as an MTA field wants it; a value that names its own type keeps it.
std::string MtaValue(std::string_view name) {
  std::string value = ReportValue(name);
  if (value.empty() || value.find(';') != std::string::npos) return value;
  return "dns; " + value;
}

// The last component of the class: "REPORT.IPM.Note.NDR" -> "NDR".
std::string_view ClassSuffix(std::string_view message_class) {
  const size_t dot = message_class.rfind('.');
  return dot == std::string_view::npos ? message_class : message_class.substr(dot + 1);
}

// "K.S.D" for a status code stored as K*100 + S*10 + D; empty when it is none.
std::string StatusText(uint32_t code) {
  const uint32_t kind = code / 100;
  if (kind != 2 && kind != 4 && kind != 5) return {};
  return std::to_string(kind) + "." + std::to_string(code / 10 % 10) + "." + std::to_string(code % 10);
}

// True for "2.0.0"-shaped text: a class digit and two numbers of one to three digits.
bool IsStatus(std::string_view s) {
  if (s.size() < 5 || (s[0] != '2' && s[0] != '4' && s[0] != '5') || s[1] != '.') return false;
  size_t digits = 0, dots = 0;
  for (char c : s.substr(2)) {
    if (c == '.') {
      if (digits == 0 || ++dots > 1) return false;
      digits = 0;
    } else if (c >= '0' && c <= '9') {
      if (++digits > 3) return false;
    } else {
      return false;
    }
  }
  return dots == 1 && digits > 0;
}

// What PidTagSupplementaryInfo holds when the report came from the Internet:
// "<remote-mta #status diagnostic>" ([MS-OXCMAIL]); anything else is the
// diagnostic alone.
struct Supplementary {
  std::string remote_mta, status, diagnostic;
};

Supplementary ParseSupplementary(std::string_view info) {
  Supplementary out;
  std::string text = ReportValue(info);
  if (text.size() >= 2 && text.front() == '<' && text.back() == '>') text = text.substr(1, text.size() - 2);
  const size_t hash = text.find('#');
  if (hash != std::string::npos && (hash == 0 || text[hash - 1] == ' ')) {
    const std::string_view rest = std::string_view(text).substr(hash + 1);
    const std::string_view status = rest.substr(0, rest.find(' '));
    if (IsStatus(status)) {
      out.remote_mta = ReportValue(std::string_view(text).substr(0, hash));
      out.status = std::string(status);
      out.diagnostic = ReportValue(rest.substr(status.size()));
      return out;
    }
  }
  out.diagnostic = std::move(text);
  return out;
}

// The status a failed recipient's MAPI diagnostic code stands for, by the
// meaning RFC 3463 gives the codes; empty for a code without a closer one.
std::string StatusForDiagnostic(uint32_t diag) {
  static constexpr std::array<std::pair<uint32_t, const char*>, 12> kStatus = {{
      {0, "5.1.1"},   // the name was not recognised
      {1, "5.1.4"},   // the name is ambiguous
      {3, "5.4.6"},   // a routing loop
      {4, "5.2.1"},   // the recipient is unavailable
      {5, "5.4.7"},   // delivery time expired
      {7, "5.3.4"},   // the content is too long
      {15, "5.6.1"},  // the content type is not supported
      {16, "5.5.3"},  // too many recipients
      {32, "5.1.3"},  // the address is incorrect
      {34, "5.1.3"},  // the address is incomplete
      {35, "5.1.1"},  // the recipient is unknown
      {38, "5.7.1"},  // the mail was refused
  }};
  for (const auto& [code, status] : kStatus) {
    if (code == diag) return status;
  }
  return {};
}

// The per-recipient fields of a delivery status notification; empty when the
// recipient has no Internet address to name.
std::string RecipientFields(const msg::Recipient& r, const msg::RecipientReport& report, std::string_view action) {
  const std::optional<std::string> address = InternetAddress(r);
  if (!address) return {};
  const Supplementary info = ParseSupplementary(report.supplementary_info);
  std::string status;
  if (report.status_code) status = StatusText(*report.status_code);
  if (status.empty()) status = info.status;
  if (status.empty() && action == "failed" && report.diag_code) status = StatusForDiagnostic(*report.diag_code);
  if (status.empty() || (action == "failed") != (status[0] == '5') || (action == "delayed") != (status[0] == '4')) {
    // A stored status that contradicts the report's class is not written.
    status = action == "failed" ? "5.0.0" : action == "delayed" ? "4.0.0" : "2.0.0";
  }
  std::string out = "Final-Recipient: rfc822; " + *address + "\r\nAction: " + std::string(action) +
                    "\r\nStatus: " + status + "\r\n";
  const std::string remote = MtaValue(!report.remote_mta.empty() ? report.remote_mta : info.remote_mta);
  if (!remote.empty()) out += "Remote-MTA: " + remote + "\r\n";
  if (!info.diagnostic.empty() && action != "delivered") out += "Diagnostic-Code: smtp; " + info.diagnostic + "\r\n";
  return out;
}

// message/delivery-status: the reporting MTA and arrival, then one group per
// recipient of the recipient table (the original's recipients).
std::optional<std::string> DeliveryStatus(const msg::Message& m, std::string_view action, std::string_view from_domain) {
  const msg::MailExtras& x = m.extras;
  std::string recipients;
  for (size_t i = 0; i < m.recipients.size(); ++i) {
    const msg::RecipientReport report = i < x.recipients.size() ? x.recipients[i] : msg::RecipientReport{};
    const std::string fields = RecipientFields(m.recipients[i], report, action);
    if (!fields.empty()) recipients += "\r\n" + fields;
  }
  // RFC 3464 wants one recipient at least: without one there is nothing to report.
  if (recipients.empty()) return std::nullopt;
  std::string mta = MtaValue(x.reporting_mta);
  if (mta.empty()) mta = "dns; " + std::string(from_domain.empty() ? "mailvane.invalid" : from_domain);
  std::string out = "Reporting-MTA: " + mta + "\r\n";
  if (std::optional<int64_t> t = x.original_submit_time ? msg::FileTimeToUnixSeconds(*x.original_submit_time)
                                                         : std::nullopt) {
    out += "Arrival-Date: " + mime::FormatDate(*t) + "\r\n";
  }
  return out + recipients;
}

// message/disposition-notification: who read it (the report's sender), which
// message, and what became of it.
std::optional<std::string> DispositionNotification(const msg::Message& m, bool read) {
  const msg::MailExtras& x = m.extras;
  std::optional<std::string> reader = InternetAddress(m.sender);
  if (!reader) reader = InternetAddress(m.sent_representing);
  if (!reader) return std::nullopt;

  static constexpr const char* kTypes[] = {"displayed", "deleted", "dispatched", "processed", "denied", "failed"};
  const std::string stored_type = AsciiLower(ReportValue(x.disposition));
  std::string type = read ? "displayed" : "deleted";
  if (std::find(std::begin(kTypes), std::end(kTypes), stored_type) != std::end(kTypes)) type = stored_type;

  static constexpr const char* kModes[] = {"manual-action/MDN-sent-manually", "manual-action/MDN-sent-automatically",
                                           "automatic-action/MDN-sent-manually",
                                           "automatic-action/MDN-sent-automatically"};
  const std::string stored_mode = ReportValue(x.disposition_mode);
  std::string mode = read ? kModes[0] : kModes[3];
  for (const char* known : kModes) {
    if (EqualsIgnoreCase(stored_mode, known)) mode = known;
  }

  std::string out = "Final-Recipient: rfc822; " + *reader + "\r\n";
  // The original's id; a read report is also a reply to the message it reports on.
  std::optional<std::string> original = mime::NormalizeMessageId(x.original_message_id);
  if (!original) {
    const std::vector<std::string> ids = mime::MessageIdList(m.in_reply_to);
    if (ids.size() == 1) original = ids.front();
  }
  if (original) out += "Original-Message-ID: " + *original + "\r\n";
  return out + "Disposition: " + mode + "; " + type + "\r\n";
}

enum class ReportType { kNone, kDeliveryStatus, kDisposition };

ReportType ReportTypeOf(std::string_view message_class) {
  if (!StartsWithIgnoreCase(message_class, "REPORT.")) return ReportType::kNone;
  const std::string_view suffix = ClassSuffix(message_class);
  for (std::string_view s : {"NDR", "DR", "Relayed", "Delayed", "Expanded"}) {
    if (EqualsIgnoreCase(suffix, s)) return ReportType::kDeliveryStatus;
  }
  if (EqualsIgnoreCase(suffix, "IPNRN") || EqualsIgnoreCase(suffix, "IPNNRN")) return ReportType::kDisposition;
  return ReportType::kNone;
}

}  // namespace

std::vector<mime::Mailbox> ReportAddressees(const msg::Message& m) {
  std::vector<mime::Mailbox> to = mime::HeaderMailboxes(m.transport_headers, "To");
  if (!to.empty()) return to;
  for (const msg::Address* group : {&m.extras.received_by, &m.extras.original_sender}) {
    if (std::optional<std::string> address = InternetAddress(*group)) return {{RemoveNuls(group->name), *address}};
  }
  return {};
}

std::optional<ReportParts> TakeReportParts(const msg::Message& m, std::vector<mime::Entity>& attached) {
  const ReportType type = ReportTypeOf(m.message_class);
  if (type == ReportType::kNone) return std::nullopt;
  const std::string_view suffix = ClassSuffix(m.message_class);
  std::optional<std::string> machine;
  ReportParts parts;
  if (type == ReportType::kDeliveryStatus) {
    std::string action = AsciiLower(suffix);
    if (action == "ndr") action = "failed";
    if (action == "dr") action = "delivered";
    // Without a reporting MTA of its own the report names its sender's domain.
    std::optional<std::string> from = InternetAddress(m.sender);
    if (!from) from = InternetAddress(m.sent_representing);
    machine = DeliveryStatus(m, action, from ? from->substr(from->rfind('@') + 1) : "");
    parts.report_type = "delivery-status";
    parts.machine.media_type = "message/delivery-status";
  } else {
    machine = DispositionNotification(m, EqualsIgnoreCase(suffix, "IPNRN"));
    parts.report_type = "disposition-notification";
    parts.machine.media_type = "message/disposition-notification";
  }
  // A machine part the item stores (a server's own report, kept as an
  // attachment) says more than the properties do: it is the report's part.
  auto stored = std::find_if(attached.begin(), attached.end(), [&parts](const mime::Entity& e) {
    return e.kind == mime::Entity::Kind::kLeaf && e.media_type == parts.machine.media_type;
  });
  if (stored != attached.end()) {
    parts.machine = std::move(*stored);
    attached.erase(stored);
  } else if (machine) {
    parts.machine.body = std::move(*machine);
    // Printable ASCII in lines below 998 characters (ReportValue): readers take
    // the fields from the part as it stands, never through a transfer encoding.
    parts.machine.encoding = mime::TransferEncoding::k7bit;
  } else {
    // Without what makes it a report the item stays the letter it looks like.
    return std::nullopt;
  }

  // The original: an embedded message, else a stored message or header block.
  auto it = std::find_if(attached.begin(), attached.end(),
                         [](const mime::Entity& e) { return e.kind == mime::Entity::Kind::kMessage; });
  if (it == attached.end()) {
    it = std::find_if(attached.begin(), attached.end(), [](const mime::Entity& e) {
      return e.kind == mime::Entity::Kind::kLeaf &&
             (e.media_type == "message/rfc822" || e.media_type == "text/rfc822-headers");
    });
  }
  if (it != attached.end()) {
    parts.original = std::move(*it);
    attached.erase(it);
  }
  return parts;
}

mime::Entity ReportEntity(mime::Entity body, ReportParts parts) {
  mime::Entity report;
  report.kind = mime::Entity::Kind::kMultipart;
  report.media_type = "multipart/report";
  report.type_params = {{"report-type", parts.report_type, false}};
  report.parts.push_back(std::move(body));
  report.parts.push_back(std::move(parts.machine));
  if (parts.original) report.parts.push_back(std::move(*parts.original));
  return report;
}

}  // namespace formats::eml
