#include "formats/common/result.h"

namespace formats {

const char* ErrorCodeName(ErrorCode code) {
  switch (code) {
    case ErrorCode::kIo: return "io";
    case ErrorCode::kTruncated: return "truncated";
    case ErrorCode::kBadSignature: return "bad-signature";
    case ErrorCode::kBadHeader: return "bad-header";
    case ErrorCode::kBadSector: return "bad-sector";
    case ErrorCode::kChainLoop: return "chain-loop";
    case ErrorCode::kBadDirectory: return "bad-directory";
    case ErrorCode::kBadStream: return "bad-stream";
    case ErrorCode::kLimitExceeded: return "limit-exceeded";
    case ErrorCode::kBadProperty: return "bad-property";
    case ErrorCode::kBadRtf: return "bad-rtf";
    case ErrorCode::kBadCrc: return "bad-crc";
    case ErrorCode::kNotMail: return "not-mail";
    case ErrorCode::kNoSender: return "no-sender";
    case ErrorCode::kBadAddress: return "bad-address";
    case ErrorCode::kBadArgument: return "bad-argument";
    case ErrorCode::kUnsupported: return "unsupported";
  }
  return "unknown";
}

ParseError MakeError(ErrorCode code, uint64_t offset, std::string detail) {
  return ParseError{code, offset, std::move(detail)};
}

}  // namespace formats
