#include "formats/common/ascii.h"
#include "formats/common/random.h"
#include "formats/mime/base64.h"
#include "formats/mime/entity.h"

namespace formats::mime {

Entity::Entity() = default;
Entity::~Entity() = default;
Entity::Entity(Entity&&) noexcept = default;
Entity& Entity::operator=(Entity&&) noexcept = default;

namespace {

// Passes bytes on and remembers whether the output so far ends in CR LF: the CR LF
// in front of a boundary delimiter belongs to the delimiter, so the writer must
// know whether a body already ended its last line.
class LineTracker : public Sink {
 public:
  explicit LineTracker(Sink& inner) : inner_(inner) {}
  Status Write(std::string_view bytes) override {
    if (bytes.empty()) return {};
    if (bytes.size() >= 2) {
      prev_ = bytes[bytes.size() - 2];
    } else {
      prev_ = last_;
    }
    last_ = bytes.back();
    return inner_.Write(bytes);
  }
  bool EndsWithLineEnd() const { return prev_ == '\r' && last_ == '\n'; }

 private:
  Sink& inner_;
  char prev_ = 0;
  char last_ = 0;
};

class Writer {
 public:
  Writer(Sink& sink, const WriteOptions& options) : out_(sink), options_(options) {}

  Status WriteMessage(const Message& msg) {
    for (const std::string& field : msg.fields) {
      if (Status st = out_.Write(field); !st) return st;
    }
    bool padded = false;
    if (Status st = WriteEntity(msg.body, padded); !st) return st;
    return {};
  }

  Status Finish() {
    if (out_.EndsWithLineEnd()) return {};
    return out_.Write("\r\n");
  }

 private:
  std::string NextBoundary() {
    return options_.next_boundary ? options_.next_boundary() : RandomBoundary();
  }

  // padded: the body ended with a line end of its own that the next delimiter may
  // use as its leading CR LF without changing the body (base64 ignores line breaks;
  // after a close delimiter it is epilogue).
  Status WriteEntity(const Entity& e, bool& padded) {
    padded = false;
    if (e.kind == Entity::Kind::kVerbatim) {
      if (!e.source && e.body.empty()) {
        return MakeError(ErrorCode::kBadArgument, 0, "verbatim body is empty");
      }
      if (e.source) {
        return e.source([this](std::span<const uint8_t> chunk) {
          return out_.Write({reinterpret_cast<const char*>(chunk.data()), chunk.size()});
        });
      }
      return out_.Write(e.body);
    }

    std::vector<Param> type_params = e.type_params;
    std::string boundary;
    if (e.kind == Entity::Kind::kMultipart) {
      boundary = NextBoundary();
      type_params.push_back({"boundary", boundary, false});
    }
    std::string head = FoldParameterField("Content-Type", e.media_type, type_params);

    TransferEncoding encoding = TransferEncoding::k7bit;
    if (e.kind == Entity::Kind::kLeaf) {
      encoding = e.source ? TransferEncoding::kBase64 : e.encoding;
      if (encoding == TransferEncoding::kAuto) {
        encoding = ChooseTransferEncoding(ScanBody(e.body), StartsWithLowered(e.media_type, "text/"));
      }
    }
    if (e.kind != Entity::Kind::kMultipart) {
      head += "Content-Transfer-Encoding: ";
      head += TransferEncodingName(encoding);
      head += "\r\n";
    }
    for (const auto& [name, value] : e.fields) {
      head += name;
      head += ": ";
      head += value;
      head += "\r\n";
    }
    if (!e.disposition.empty()) {
      head += FoldParameterField("Content-Disposition", e.disposition, e.disposition_params);
    }
    head += "\r\n";
    if (Status st = out_.Write(head); !st) return st;

    switch (e.kind) {
      case Entity::Kind::kLeaf:
        return WriteLeafBody(e, encoding, padded);
      case Entity::Kind::kMultipart:
        return WriteParts(e, boundary, padded);
      case Entity::Kind::kMessage:
        if (!e.message) return MakeError(ErrorCode::kBadArgument, 0, "message/rfc822 without a message");
        if (Status st = WriteMessage(*e.message); !st) return st;
        return {};
      case Entity::Kind::kVerbatim:
        break;
    }
    return {};
  }

  Status WriteLeafBody(const Entity& e, TransferEncoding encoding, bool& padded) {
    if (e.source) {
      auto encoder = std::make_unique<Base64LineEncoder>(out_);
      Status st = e.source([&encoder](std::span<const uint8_t> chunk) { return encoder->Feed(chunk); });
      if (!st) return st;
      if (st = encoder->Finish(); !st) return st;
      padded = encoder->bytes_in() > 0;
      return {};
    }
    switch (encoding) {
      case TransferEncoding::kBase64:
        padded = !e.body.empty();
        return out_.Write(EncodeBase64Lines(e.body));
      case TransferEncoding::kQuotedPrintable:
        return out_.Write(EncodeQuotedPrintable(e.body));
      case TransferEncoding::kAuto:
      case TransferEncoding::k7bit:
        break;
    }
    return out_.Write(e.body);
  }

  Status WriteParts(const Entity& e, const std::string& boundary, bool& padded) {
    bool part_padded = true;  // nothing precedes the first delimiter
    for (const Entity& part : e.parts) {
      std::string delimiter = (part_padded && out_.EndsWithLineEnd()) ? "--" : "\r\n--";
      delimiter += boundary;
      delimiter += "\r\n";
      if (Status st = out_.Write(delimiter); !st) return st;
      if (Status st = WriteEntity(part, part_padded); !st) return st;
    }
    std::string close = (part_padded && out_.EndsWithLineEnd()) ? "--" : "\r\n--";
    close += boundary;
    close += "--\r\n";
    padded = true;
    return out_.Write(close);
  }

  LineTracker out_;
  const WriteOptions& options_;
};

}  // namespace

std::string RandomBoundary() {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  std::string b = "=_mv_";
  for (int i = 0; i < 3; ++i) {
    uint32_t v = RandomU32();
    for (int k = 0; k < 8; ++k, v >>= 4) b += kHexDigits[v & 15];
  }
  return b;
}

Status WriteMessage(const Message& msg, Sink& sink, const WriteOptions& options) {
  Writer writer(sink, options);
  if (Status st = writer.WriteMessage(msg); !st) return st;
  return writer.Finish();
}

}  // namespace formats::mime
