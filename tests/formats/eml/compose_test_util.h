// What the composer's tests share: attachment bytes without a compound file,
// addresses, a plain message, fixed options and the written text.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "formats/eml/compose.h"
#include "formats/mime/sink.h"

namespace formats::eml::compose_testing {

namespace mime = formats::mime;
namespace msg = formats::msg;
using formats::ErrorCode;
using formats::Result;
using formats::Status;

// Attachment bytes by file name, so tests need no compound file.
class FakeContent : public msg::ContentAccess {
 public:
  std::map<std::string, std::string> data;
  std::optional<std::string> rtf;

  Status StreamAttachment(const msg::Attachment& a, const mime::ChunkFn& fn) const override {
    auto it = data.find(a.filename);
    if (it == data.end()) return {};
    return fn({reinterpret_cast<const uint8_t*>(it->second.data()), it->second.size()});
  }
  Result<std::string> ReadAttachmentPrefix(const msg::Attachment& a, size_t max_bytes) const override {
    auto it = data.find(a.filename);
    if (it == data.end()) return std::string();
    return it->second.substr(0, max_bytes);
  }
  Result<std::optional<std::string>> ReadCompressedRtf(const msg::Message&) const override { return rtf; }
  Result<std::optional<msg::OleExport>> OleData(const msg::Attachment& a) const override {
    auto it = data.find(a.filename);
    if (it == data.end()) return std::optional<msg::OleExport>();
    std::string bytes = it->second;
    return std::optional<msg::OleExport>(msg::OleExport{[bytes](const mime::ChunkFn& fn) {
      return fn({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    }, {}});
  }
};

inline msg::Address Smtp(std::string name, std::string address) {
  msg::Address a;
  a.name = std::move(name);
  a.address = std::move(address);
  a.address_type = "SMTP";
  return a;
}

inline msg::Address Exchange(std::string name, std::string smtp = "") {
  msg::Address a;
  a.name = std::move(name);
  a.address = "/O=ORG/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=JDOE";
  a.address_type = "EX";
  a.smtp_address = std::move(smtp);
  return a;
}

inline msg::Recipient Recip(int32_t type, msg::Address address) {
  msg::Recipient r;
  static_cast<msg::Address&>(r) = std::move(address);
  r.type = type;
  return r;
}

inline msg::Message BasicMessage() {
  msg::Message m;
  m.message_class = "IPM.Note";
  m.subject = "Hello";
  m.sender = Smtp("Jane Doe", "jane@example.com");
  m.html = "<html><body>Hi</body></html>";
  m.html_is_utf8 = true;
  m.client_submit_time = 0x01D95686F75FD700ull;
  m.internet_message_id = "<id1@example.com>";
  return m;
}

inline ComposeOptions Fixed() {
  return {[] { return int64_t{1700000000}; }, [] { return std::string(32, 'a'); }};
}

inline std::string Headers(const mime::Message& m) {
  std::string out;
  for (const std::string& f : m.fields) out += f;
  return out;
}

inline std::string Written(const mime::Message& m) {
  mime::StringSink sink;
  mime::WriteOptions options{[] { return std::string("=_B"); }};
  EXPECT_TRUE(mime::WriteMessage(m, sink, options).ok());
  return sink.Take();
}

inline msg::Attachment File(std::string name, std::string mime_tag = "", std::string content_id = "") {
  msg::Attachment a;
  a.filename = a.long_filename = std::move(name);
  a.mime_tag = std::move(mime_tag);
  a.content_id = std::move(content_id);
  a.data = msg::StreamRef();
  return a;
}

// The MIME tree as text: "multipart/mixed(text/html,image/png)".
inline std::string Shape(const mime::Entity& e) {
  std::string out = e.media_type;
  if (e.kind != mime::Entity::Kind::kMultipart) return out;
  out += '(';
  for (size_t i = 0; i < e.parts.size(); ++i) out += (i ? "," : "") + Shape(e.parts[i]);
  return out + ')';
}

}  // namespace formats::eml::compose_testing
