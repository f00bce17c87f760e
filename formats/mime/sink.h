// Where the MIME writer's bytes go.
//
// The writer produces the message front to back in one pass and hands every piece
// to a Sink. A Sink may fail (disk full, folder gone); the first failure stops the
// writer and comes back from it unchanged.
#pragma once

#include <string>
#include <string_view>

#include "formats/common/result.h"

namespace formats::mime {

class Sink {
 public:
  virtual ~Sink() = default;
  // Appends bytes. An error ends the message: the writer makes no further calls.
  virtual Status Write(std::string_view bytes) = 0;
};

// Collects everything in memory: for tests and small nested pieces.
class StringSink : public Sink {
 public:
  Status Write(std::string_view bytes) override {
    out_.append(bytes);
    return {};
  }
  const std::string& str() const { return out_; }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace formats::mime
