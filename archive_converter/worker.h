// One conversion as a worker does it, and the worker's loop.
//
// A worker is this program started with --worker: it reads requests on its
// standard input and answers each on its standard output, many files per
// process. Request: the source path, the folder and the temporary name for the
// result, each as a 4-byte little-endian length and its bytes. Answer: one
// status byte (Status) and the reason, as a length and its bytes. A worker
// that dies or hangs costs its parent the file in hand alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace archive_converter {

enum class Status : uint8_t { kConverted = 0, kRefused = 1, kFailed = 2 };

const char* StatusName(Status status);

struct Outcome {
  Status status = Status::kFailed;
  std::string reason;  // one line, empty when converted
};

struct WorkerOptions {
  bool file_time = true;        // the result's time is the message's date
  uint64_t memory_cap = 1ull << 30;  // address space per file beyond the mapped input
};

// Converts `source` into the new file `temp_name` in `folder`, which it leaves
// in place for the caller on success and removes otherwise. Refused: an item
// the Internet form cannot carry (not mail, no sender or recipient address);
// failed: everything else, with the converter's one-line reason.
Outcome ConvertToTemporary(const std::string& source, const std::string& folder, const std::string& temp_name,
                           const WorkerOptions& options);

// The message date as Unix seconds: sent, else received; none without either.
std::optional<int64_t> UnixTimeFromFiletime(std::optional<uint64_t> filetime);

// The worker's loop on standard input and output until its input ends.
int WorkerMain(const WorkerOptions& options);

// The protocol's framing, shared with the parent.
void AppendField(std::string& frame, const std::string& text);

}  // namespace archive_converter
