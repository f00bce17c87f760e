// Error carrying for everything that reads untrusted bytes.
//
// Functions in formats/ never throw: they return Result<T>, which holds either a
// value or a ParseError {code, offset, detail}. The shape follows std::expected so
// that moving to it later is a rename. Status is Result<void>.
#pragma once

#include <cassert>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace formats {

enum class ErrorCode {
  kIo,              // the file could not be opened, read or written
  kTruncated,       // a structure runs past the end of its data
  kBadSignature,    // not a compound file / not the expected magic
  kBadHeader,       // header field out of its allowed range
  kBadSector,       // sector number out of range or of the wrong kind
  kChainLoop,       // a sector chain visits a sector twice or is too long
  kBadDirectory,    // directory entry or tree is malformed
  kBadStream,       // stream size or location inconsistent
  kLimitExceeded,   // a documented resource limit was hit
  kBadProperty,     // property stream malformed
  kBadRtf,          // compressed RTF malformed
  kBadCrc,          // checksum mismatch
  kNotMail,         // the item is not a mail message that can be converted
  kNoSender,        // no usable sender address
  kBadAddress,      // an address is not an Internet mail address
  kBadArgument,     // a caller-supplied value is unusable
  kUnsupported,     // valid but not handled
};

// Short stable name of a code, for messages and tests.
const char* ErrorCodeName(ErrorCode code);

struct ParseError {
  ErrorCode code = ErrorCode::kIo;
  uint64_t offset = 0;  // byte offset in the input where it broke, when known
  std::string detail;   // one line, no trailing newline
};

// The one place every ParseError is made: a breakpoint here catches every
// corrupt path.
ParseError MakeError(ErrorCode code, uint64_t offset, std::string detail);

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  Result(ParseError error) : state_(std::in_place_index<1>, std::move(error)) {}  // NOLINT

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { assert(ok()); return std::get<0>(state_); }
  const T& value() const& { assert(ok()); return std::get<0>(state_); }
  T&& value() && { assert(ok()); return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const ParseError& error() const& { assert(!ok()); return std::get<1>(state_); }
  ParseError&& error() && { assert(!ok()); return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, ParseError> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(ParseError error) : error_(std::move(error)), ok_(false) {}  // NOLINT

  bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  const ParseError& error() const& { assert(!ok_); return error_; }
  ParseError&& error() && { assert(!ok_); return std::move(error_); }

 private:
  ParseError error_;
  bool ok_ = true;
};

using Status = Result<void>;

}  // namespace formats
