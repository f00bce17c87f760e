// The composer: the header of the .eml (Date, addresses, Subject, Message-ID and
// the references), then the body with its inline parts in multipart/related and
// the other attachments in multipart/mixed, or the S/MIME body as it is.
#include <array>
#include <chrono>
#include <memory>

#include "formats/common/ascii.h"
#include "formats/common/random.h"
#include "formats/eml/compose_p.h"
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

Result<std::vector<std::string>> HeaderFields(const Context& context, const msg::Message& m, bool top_level) {
  std::vector<std::string> fields;
  std::optional<int64_t> date;
  for (const auto& t : {m.client_submit_time, m.delivery_time, m.creation_time}) {
    if (t && !date) date = msg::FileTimeToUnixSeconds(*t);
  }
  fields.push_back("Date: " + mime::FormatDate(date ? *date : Now(context.options)) + "\r\n");

  Result<Addresses> addresses = ResolveAddresses(m, top_level);
  if (!addresses) return std::move(addresses).error();
  const std::optional<mime::Mailbox>& from = addresses->from;
  if (from) fields.push_back(mime::FoldAddressList("From", {*from}));
  const std::array<std::vector<mime::Mailbox>, 3>& lists = addresses->lists;
  static constexpr const char* kListNames[] = {"To", "Cc", "Bcc"};
  for (int i = 0; i < 3; ++i) {
    if (!lists[i].empty()) fields.push_back(mime::FoldAddressList(kListNames[i], lists[i]));
  }
  fields.push_back(mime::FoldUnstructured("Subject", RemoveNuls(m.subject)));

  std::string id;
  if (auto own = mime::NormalizeMessageId(m.internet_message_id)) {
    id = *own;
  } else {
    std::string domain = "mailvane.invalid";
    if (from) {
      const std::string right = from->address.substr(from->address.rfind('@') + 1);
      if (mime::NormalizeMessageId("x@" + right)) domain = right;
    }
    id = "<" + RandomHex(context.options) + "." + std::to_string(date ? *date : Now(context.options)) + "@" + domain + ">";
  }
  fields.push_back("Message-ID: " + id + "\r\n");
  if (auto ids = mime::MessageIdList(m.in_reply_to); !ids.empty()) {
    fields.push_back(mime::FoldTokens("In-Reply-To", ids));
  }
  if (auto ids = mime::MessageIdList(m.references); !ids.empty()) {
    fields.push_back(mime::FoldTokens("References", ids));
  }
  fields.push_back("MIME-Version: 1.0\r\n");
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
  Result<std::vector<std::string>> fields = HeaderFields(context, m, top_level);
  if (!fields) return std::move(fields).error();
  out.fields = std::move(*fields);

  if (Result<std::optional<mime::Entity>> smime = SmimeBody(m, context.content); !smime) {
    return std::move(smime).error();
  } else if (*smime) {
    out.body = std::move(**smime);
    return out;
  }

  Result<std::string> html = BodyHtml(m, context.content);
  if (!html) return std::move(html).error();
  const std::set<std::string> cids = CidReferences(*html);
  const std::string lower_html = AsciiLower(*html);

  mime::Entity html_part;
  html_part.media_type = "text/html";
  html_part.type_params = {{"charset", "utf-8", false}};
  html_part.body = std::move(*html);

  std::vector<mime::Entity> inline_parts;
  std::vector<mime::Entity> attached;
  for (const msg::Attachment& a : m.attachments) {
    Result<std::optional<mime::Entity>> part = AttachmentPart(context, a, cids, lower_html, inline_parts);
    if (!part) return std::move(part).error();
    if (*part) attached.push_back(std::move(**part));
  }

  mime::Entity body = std::move(html_part);
  if (!inline_parts.empty()) {
    mime::Entity related;
    related.kind = mime::Entity::Kind::kMultipart;
    related.media_type = "multipart/related";
    related.type_params = {{"type", "text/html", false}};
    related.parts.push_back(std::move(body));
    for (mime::Entity& p : inline_parts) related.parts.push_back(std::move(p));
    body = std::move(related);
  }
  if (!attached.empty()) {
    mime::Entity mixed;
    mixed.kind = mime::Entity::Kind::kMultipart;
    mixed.media_type = "multipart/mixed";
    mixed.parts.push_back(std::move(body));
    for (mime::Entity& p : attached) mixed.parts.push_back(std::move(p));
    body = std::move(mixed);
  }
  out.body = std::move(body);
  return out;
}

Result<mime::Message> ComposeMessage(const msg::Message& message, const msg::ContentAccess& content,
                                     const ComposeOptions& options) {
  return ComposeItem(Context{content, options}, message, true);
}

}  // namespace formats::eml
