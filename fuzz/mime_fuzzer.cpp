// MIME writer fed arbitrary text: header fields built from fuzzed names,
// addresses, ids and parameters; bodies in memory and streamed in fuzzed
// chunks; a nested message. The written message must keep what the writer
// promises: US-ASCII only, every line ended by CR LF and at most 998 characters
// long. Quoted-printable and base64 must give back their input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "formats/eml/compose.h"
#include "formats/mime/base64.h"
#include "formats/mime/entity.h"
#include "formats/mime/header.h"
#include "formats/mime/transfer_encoding.h"
#include "formats/msg/filetime.h"
#include "tests/formats/mime/mime_test_util.h"

namespace mime = formats::mime;

namespace {

// The input is fields separated by 0x1F; missing fields are empty.
std::vector<std::string_view> Fields(std::string_view input, size_t count) {
  std::vector<std::string_view> out;
  while (out.size() + 1 < count) {
    const size_t cut = input.find('\x1F');
    if (cut == std::string_view::npos) break;
    out.push_back(input.substr(0, cut));
    input.remove_prefix(cut + 1);
  }
  out.push_back(input);
  out.resize(count);
  return out;
}

std::vector<std::string_view> Split(std::string_view text, char sep) {
  std::vector<std::string_view> out;
  for (size_t cut; (cut = text.find(sep)) != std::string_view::npos; text.remove_prefix(cut + 1)) {
    out.push_back(text.substr(0, cut));
  }
  out.push_back(text);
  return out;
}

uint64_t Number(std::string_view bytes) {
  uint64_t v = 0;
  for (size_t i = 0; i < bytes.size() && i < 8; ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(bytes[i])) << (8 * i);
  return v;
}

std::string PrintableAscii(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c > 0x20 && c < 0x7F) out += c;
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Strict decoder of our encoder's output: CR LF is a hard break, "=" CR LF a soft one.
std::string DecodeQuotedPrintable(std::string_view qp) {
  std::string out;
  for (size_t i = 0; i < qp.size(); ++i) {
    if (qp[i] != '=') {
      out += qp[i];
      continue;
    }
    if (qp.substr(i + 1, 2) == "\r\n") {
      i += 2;
      continue;
    }
    if (i + 2 >= qp.size() + 0 || HexValue(qp[i + 1]) < 0 || HexValue(qp[i + 2]) < 0) abort();
    out += static_cast<char>(HexValue(qp[i + 1]) * 16 + HexValue(qp[i + 2]));
    i += 2;
  }
  return out;
}

void CheckLines(std::string_view text, bool header) {
  size_t line = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (c >= 0x80) abort();
    if (c == '\r') {
      if (i + 1 >= text.size() || text[i + 1] != '\n') abort();
      ++i;
      line = 0;
      continue;
    }
    if (c == '\n') abort();
    if (header && c == 0) abort();
    if (++line > mime::kMaxLineLength) abort();
  }
}

std::string Boundary() {
  static int n = 0;
  return "=_fuzz_" + std::to_string(n++);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  enum {
    kFlags, kSubject, kFromName, kFromAddress, kTo, kIds, kBody, kFileName, kMediaType, kAttachData, kContentId,
    kNestedSubject, kDate, kFieldCount
  };
  const std::vector<std::string_view> f = Fields(input, kFieldCount);
  const uint64_t flags = Number(f[kFlags]);

  // Helpers with contracts of their own.
  for (const std::string& word : mime::EncodeWords(f[kSubject], (flags & 1) ? mime::WordContext::kPhrase
                                                                             : mime::WordContext::kText,
                                                   1 + (flags >> 8) % 75)) {
    if (word.size() > 75) abort();
    CheckLines(word, true);
  }
  const std::string safe_name = formats::eml::SanitizeFileName(f[kFileName]);
  if (safe_name.size() > 255 || safe_name.find_first_of("/\\") != std::string::npos) abort();
  for (char c : safe_name) {
    if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) abort();
  }
  formats::eml::RewriteMetaCharset(f[kBody]);

  mime::Message msg;
  if (auto t = formats::msg::FileTimeToUnixSeconds(Number(f[kDate]))) msg.fields.push_back("Date: " + mime::FormatDate(*t) + "\r\n");
  const std::string from = mime::IsMailAddress(f[kFromAddress]) ? std::string(f[kFromAddress]) : "a@b";
  msg.fields.push_back(mime::FoldAddressList("From", {{std::string(f[kFromName]), from}}));
  std::vector<mime::Mailbox> to;
  const std::vector<std::string_view> to_parts = Split(f[kTo], '\x1E');
  for (size_t i = 0; i + 1 < to_parts.size(); i += 2) {
    if (mime::IsMailAddress(to_parts[i + 1])) to.push_back({std::string(to_parts[i]), std::string(to_parts[i + 1])});
  }
  if (!to.empty()) msg.fields.push_back(mime::FoldAddressList("To", to));
  msg.fields.push_back(mime::FoldUnstructured("Subject", f[kSubject]));
  if (auto id = mime::NormalizeMessageId(f[kIds])) msg.fields.push_back("Message-ID: " + *id + "\r\n");
  const std::vector<std::string> refs = mime::MessageIdList(f[kIds]);
  if (!refs.empty()) msg.fields.push_back(mime::FoldTokens("References", refs));
  msg.fields.push_back("MIME-Version: 1.0\r\n");
  for (const std::string& field : msg.fields) CheckLines(field, true);

  // Body: text/html in memory, the encoding chosen by the writer or forced.
  mime::Entity body;
  body.media_type = "text/html";
  body.type_params.push_back({"charset", "utf-8"});
  body.body = std::string(f[kBody]);
  static constexpr mime::TransferEncoding kEncodings[] = {
      mime::TransferEncoding::kAuto, mime::TransferEncoding::kQuotedPrintable, mime::TransferEncoding::kBase64,
      mime::TransferEncoding::kAuto};
  body.encoding = kEncodings[(flags >> 1) & 3];

  // Attachment streamed in chunks whose sizes come from the flags.
  mime::Entity attachment;
  // At most 200 characters, as NormalizeMediaType gives the composer.
  attachment.media_type = PrintableAscii(f[kMediaType]).substr(0, 200);
  if (attachment.media_type.find('/') == std::string::npos) attachment.media_type = "application/octet-stream";
  attachment.type_params.push_back({"name", safe_name, (flags & 8) != 0});
  attachment.disposition = (flags & 16) ? "inline" : "attachment";
  attachment.disposition_params.push_back({"filename", safe_name});
  // Extra fields are written as given: like the composer (UsableContentId), the
  // harness keeps a Content-ID within 900 characters, so its line stays short.
  if (!f[kContentId].empty()) {
    attachment.fields.push_back({"Content-ID", "<" + PrintableAscii(f[kContentId]).substr(0, 900) + ">"});
  }
  const std::string_view attach_data = f[kAttachData];
  const size_t chunk = 1 + ((flags >> 5) & 0x1FF);
  attachment.source = [attach_data, chunk](const mime::ChunkFn& fn) -> formats::Status {
    for (size_t at = 0; at < attach_data.size(); at += chunk) {
      const std::string_view piece = attach_data.substr(at, chunk);
      if (formats::Status st = fn({reinterpret_cast<const uint8_t*>(piece.data()), piece.size()}); !st) return st;
    }
    return {};
  };

  // A nested message/rfc822 with its own subject and text.
  mime::Entity nested;
  nested.kind = mime::Entity::Kind::kMessage;
  nested.media_type = "message/rfc822";
  nested.message = std::make_unique<mime::Message>();
  nested.message->fields.push_back(mime::FoldUnstructured("Subject", f[kNestedSubject]));
  nested.message->body.body = std::string(f[kNestedSubject]);

  mime::Entity related;
  related.kind = mime::Entity::Kind::kMultipart;
  related.media_type = "multipart/mixed";
  related.parts.push_back(std::move(body));
  related.parts.push_back(std::move(attachment));
  if (flags & 0x4000) related.parts.push_back(std::move(nested));
  msg.body = std::move(related);

  mime::StringSink sink;
  mime::WriteOptions options;
  options.next_boundary = Boundary;
  if (formats::Status st = mime::WriteMessage(msg, sink, options); !st) abort();
  CheckLines(sink.str(), false);

  // The encoders give back what they were given.
  const std::string_view text = f[kBody];
  if (DecodeQuotedPrintable(mime::EncodeQuotedPrintable(text)) != text) abort();
  const std::string lines = mime::EncodeBase64Lines(attach_data);
  CheckLines(lines, false);
  std::string decoded;
  if (!mime_test::DecodeBase64(lines, decoded) || decoded != attach_data) abort();
  return 0;
}
