// The composer: the header of the .eml (the stored header block of a received
// item with the fields built from the item's properties: Date, addresses,
// Subject, Message-ID, the references, importance, priority, sensitivity,
// categories, language),
// then the body (the plain text beside the HTML in multipart/alternative when
// the item stores both, a meeting's calendar after them) with its inline parts
// in multipart/related and the other attachments in multipart/mixed, or the
// S/MIME body as it is.
#include <array>
#include <chrono>
#include <memory>

#include "formats/common/ascii.h"
#include "formats/common/codepage.h"
#include "formats/common/random.h"
#include "formats/eml/compose_p.h"
#include "formats/mime/base64.h"
#include "formats/msg/filetime.h"

namespace formats::eml {

namespace {

// "IPM.Note" matches "IPM.Note" and "IPM.Note.X", not "IPM.Notebook".
bool HasClassPrefix(std::string_view message_class, std::string_view prefix) {
  return StartsWithIgnoreCase(message_class, prefix) &&
         (message_class.size() == prefix.size() || message_class[prefix.size()] == '.');
}

int64_t Now(const ComposeOptions& options) {
  if (options.now) return options.now();
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string RandomHex(const ComposeOptions& options) {
  if (options.random_hex) return options.random_hex();
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (int i = 0; i < 4; ++i) {
    uint32_t v = RandomU32();
    for (int k = 0; k < 8; ++k, v >>= 4) out += kDigits[v & 15];
  }
  return out;
}

// "Keywords: a, b": the categories as a list of phrases (RFC 5322 3.6.5).
std::optional<std::string> KeywordsField(const std::vector<std::string>& categories) {
  std::vector<std::string> tokens;
  for (const std::string& category : categories) {
    const std::string text = RemoveNuls(category);
    if (text.find_first_not_of(' ') == std::string::npos) continue;
    if (!tokens.empty()) tokens.back() += ',';
    for (std::string& t : mime::PhraseTokens(text)) tokens.push_back(std::move(t));
  }
  if (tokens.empty()) return std::nullopt;
  return mime::FoldTokens("Keywords", tokens);
}

// The fields built from the item's properties, in the order they are written
// when no stored header block says otherwise.
Result<std::vector<OwnField>> HeaderFields(const Context& context, const msg::Message& m, bool top_level) {
  std::vector<OwnField> fields;
  auto add = [&fields](std::string name, std::string text, bool stored_wins = false) {
    fields.push_back({std::move(name), std::move(text), stored_wins});
  };
  std::optional<int64_t> date;
  for (const auto& t : {m.client_submit_time, m.delivery_time, m.creation_time}) {
    if (t && !date) date = msg::FileTimeToUnixSeconds(*t);
  }
  // The original Date keeps the sender's zone; a block whose Date is another
  // instant than the item's describes something else, and UTC is written.
  if (std::optional<std::string> stored = StoredDate(m.transport_headers, m.client_submit_time)) {
    add("date", std::move(*stored));
  } else {
    add("date", "Date: " + mime::FormatDate(date ? *date : Now(context.options)) + "\r\n");
  }

  Result<Addresses> addresses = ResolveAddresses(m, top_level);
  if (!addresses) return std::move(addresses).error();
  const std::optional<mime::Mailbox>& from = addresses->from;
  if (from) add("from", mime::FoldAddressList("From", {*from}));
  if (addresses->sender) add("sender", mime::FoldAddressList("Sender", {*addresses->sender}));
  if (!addresses->reply_to.empty()) add("reply-to", mime::FoldAddressList("Reply-To", addresses->reply_to), true);
  const std::array<std::vector<mime::Mailbox>, 3>& lists = addresses->lists;
  static constexpr const char* kListNames[] = {"To", "Cc", "Bcc"};
  for (int i = 0; i < 3; ++i) {
    if (!lists[i].empty()) add(AsciiLower(kListNames[i]), mime::FoldAddressList(kListNames[i], lists[i]));
  }
  add("subject", mime::FoldUnstructured("Subject", RemoveNuls(m.subject)));

  // The stored id as it stands, so replies and threads still find the message;
  // without an id of its own a received item still has the one its block gives.
  std::string id;
  std::optional<std::string> own = mime::StoredMessageId(m.internet_message_id);
  if (!own) {
    if (std::optional<mime::HeaderField> stored = FirstStoredField(m.transport_headers, "Message-ID")) {
      own = mime::StoredMessageId(mime::Unfold(stored->raw_value));
    }
  }
  if (own) {
    id = *own;
  } else {
    std::string domain = "mailvane.invalid";
    if (from) {
      const std::string right = from->address.substr(from->address.rfind('@') + 1);
      if (mime::NormalizeMessageId("x@" + right)) domain = right;
    }
    id = "<" + RandomHex(context.options) + "." + std::to_string(date ? *date : Now(context.options)) + "@" + domain + ">";
  }
  add("message-id", "Message-ID: " + id + "\r\n");
  if (auto ids = mime::MessageIdList(m.in_reply_to); !ids.empty()) {
    add("in-reply-to", mime::FoldTokens("In-Reply-To", ids), true);
  }
  if (auto ids = mime::MessageIdList(m.references); !ids.empty()) {
    add("references", mime::FoldTokens("References", ids), true);
  }
  // Only what differs from normal, in the fields mail programs read.
  if (m.importance == 0 || m.importance == 2) {
    add("importance", m.importance == 0 ? "Importance: low\r\n" : "Importance: high\r\n", true);
  }
  if (m.priority == 1 || m.priority == -1) {
    add("x-priority", m.priority == 1 ? "X-Priority: 1 (Highest)\r\n" : "X-Priority: 5 (Lowest)\r\n", true);
    // RFC 2156's field for the same property, read by gateways and archives.
    add("priority", m.priority == 1 ? "Priority: urgent\r\n" : "Priority: non-urgent\r\n", true);
  }
  // The language the author wrote in ([MS-OXCMAIL] 2.1.3.2.16).
  if (const char* tag = m.locale_id ? LcidToLanguageTag(*m.locale_id) : nullptr) {
    add("content-language", std::string("Content-Language: ") + tag + "\r\n", true);
  }
  static constexpr const char* kSensitivity[] = {"Personal", "Private", "Company-Confidential"};
  if (m.sensitivity >= 1 && m.sensitivity <= 3) {
    add("sensitivity", std::string("Sensitivity: ") + kSensitivity[m.sensitivity - 1] + "\r\n", true);
  }
  if (std::optional<std::string> keywords = KeywordsField(m.categories)) add("keywords", std::move(*keywords), true);
  // Outlook's own states in the fields mail programs read for them.
  const msg::MailExtras& x = m.extras;
  if (top_level && x.unsent) add("x-unsent", "X-Unsent: 1\r\n", true);
  if (!x.conversation_index.empty()) {
    const std::string_view index(reinterpret_cast<const char*>(x.conversation_index.data()), x.conversation_index.size());
    add("thread-index", "Thread-Index: " + mime::EncodeBase64(index) + "\r\n", true);
  }
  if (const std::string topic = RemoveNuls(x.conversation_topic); topic.find_first_not_of(' ') != std::string::npos) {
    add("thread-topic", mime::FoldUnstructured("Thread-Topic", topic), true);
  }
  if (x.flagged) {
    const std::string text = RemoveNuls(x.flag_request);
    add("x-message-flag",
        mime::FoldUnstructured("X-Message-Flag", text.find_first_not_of(' ') == std::string::npos ? "Follow up" : text),
        true);
  }
  add("mime-version", "MIME-Version: 1.0\r\n");
  return fields;
}

}  // namespace

bool IsMailClass(std::string_view message_class) {
  if (message_class.empty() || EqualsIgnoreCase(message_class, "IPM")) return true;
  for (std::string_view prefix : {"IPM.Note", "IPM.Schedule.Meeting", "REPORT.IPM.Note", "REPORT.IPM.Schedule.Meeting"}) {
    if (HasClassPrefix(message_class, prefix)) return true;
  }
  return false;
}

Result<mime::Message> ComposeItem(const Context& context, const msg::Message& m, bool top_level) {
  if (top_level && !IsMailClass(m.message_class)) {
    return MakeError(ErrorCode::kNotMail, 0, "Item is not a mail message (" + m.message_class + ")");
  }
  mime::Message out;
  Result<std::vector<OwnField>> fields = HeaderFields(context, m, top_level);
  if (!fields) return std::move(fields).error();

  std::set<std::string> entity_fields;
  Result<std::optional<mime::Entity>> smime = SmimeBody(m, context.content, entity_fields);
  if (!smime) return std::move(smime).error();
  // A signed entity writes its own head; the block's copies of those fields go.
  out.fields = MergeStoredHeader(m.transport_headers, std::move(*fields), entity_fields);
  if (*smime) {
    out.body = std::move(**smime);
    return out;
  }

  // Content-IDs for the pictures of a rendered RTF body, unique per message.
  const std::string cid_suffix = m.rtf_compressed ? RandomHex(context.options) + "@mailvane.invalid" : "";
  Result<HtmlBody> html = BodyHtml(m, context.content, cid_suffix);
  if (!html) return std::move(html).error();
  const std::set<std::string> cids = CidReferences(html->html);
  const std::string lower_html = AsciiLower(html->html);

  // An empty body goes out as the empty text it is.
  const bool empty_body = html->html.empty();
  mime::Entity html_part;
  html_part.media_type = empty_body ? "text/plain" : "text/html";
  html_part.type_params = {{"charset", "utf-8", false}};
  html_part.body = std::move(html->html);

  std::vector<mime::Entity> inline_parts = std::move(html->inline_parts);
  std::vector<mime::Entity> attached;
  for (size_t i = 0; i < m.attachments.size(); ++i) {
    const std::string_view made_cid =
        i < html->attachment_cids.size() ? std::string_view(html->attachment_cids[i]) : std::string_view();
    Result<std::optional<mime::Entity>> part =
        AttachmentPart(context, m.attachments[i], cids, lower_html, inline_parts, made_cid);
    if (!part) return std::move(part).error();
    if (*part) attached.push_back(std::move(**part));
  }
  for (mime::Entity& picture : html->attached) attached.push_back(std::move(picture));

  mime::Entity body = std::move(html_part);
  // A meeting's calendar follows the text and HTML as the last alternative,
  // and only there: a second text/calendar part, as an attachment, is drawn
  // as a second invitation by mail programs that act on the type.
  std::optional<mime::Entity> calendar = CalendarPart(m, top_level);
  // A stored plain body goes first beside the HTML, as Outlook sends it: the
  // images belong to all renderings, so multipart/related holds them.
  std::optional<std::string> text = empty_body || html->plain_is_other ? std::nullopt : BodyText(m);
  if (text || calendar) {
    mime::Entity alternative;
    alternative.kind = mime::Entity::Kind::kMultipart;
    alternative.media_type = "multipart/alternative";
    if (text) {
      mime::Entity text_part;
      text_part.media_type = "text/plain";
      text_part.type_params = {{"charset", "utf-8", false}};
      text_part.body = std::move(*text);
      alternative.parts.push_back(std::move(text_part));
    }
    alternative.parts.push_back(std::move(body));
    if (calendar) alternative.parts.push_back(std::move(*calendar));
    body = std::move(alternative);
  }
  if (!inline_parts.empty()) {
    mime::Entity related;
    related.kind = mime::Entity::Kind::kMultipart;
    related.media_type = "multipart/related";
    related.type_params = {{"type", body.media_type, false}};
    related.parts.push_back(std::move(body));
    for (mime::Entity& p : inline_parts) related.parts.push_back(std::move(p));
    body = std::move(related);
  }
  // A report keeps its machine-readable part and the original beside the body.
  std::optional<ReportParts> report = TakeReportParts(m, attached);
  if (!attached.empty()) {
    mime::Entity mixed;
    mixed.kind = mime::Entity::Kind::kMultipart;
    mixed.media_type = "multipart/mixed";
    mixed.parts.push_back(std::move(body));
    for (mime::Entity& p : attached) mixed.parts.push_back(std::move(p));
    body = std::move(mixed);
  }
  if (report) body = ReportEntity(std::move(body), std::move(*report));
  out.body = std::move(body);
  return out;
}

Result<mime::Message> ComposeMessage(const msg::Message& message, const msg::ContentAccess& content,
                                     const ComposeOptions& options) {
  return ComposeItem(Context{content, options}, message, true);
}

}  // namespace formats::eml
