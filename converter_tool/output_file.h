// The one .eml a run leaves behind, written so that no partial .eml can exist.
//
// Bytes go to ".<uuid>.tmp" in the output folder (a name no reader takes for a
// message), created exclusively. Commit() flushes and syncs it, then links it as
// "<uuid>.eml" without replacing any file (a fresh uuid when the name is taken)
// and removes the temporary name; on Windows it moves it there, again without
// replacing anything. output_file_posix.cpp and output_file_windows.cpp hold the
// system's side. Until Commit succeeds, destroying the object
// removes the temporary file: a failed run leaves the folder as it found it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/common/result.h"
#include "formats/mime/sink.h"

namespace converter {

// A random (version 4) UUID in its 36-character text form.
std::string NewUuid();

// folder + '/' + name; a folder ending in '/' gets no second one. On Windows the
// separator is '\\', and a folder ending in either gets none.
std::string JoinPath(const std::string& folder, const std::string& name);

class OutputFile : public formats::mime::Sink {
 public:
  // Makes SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl+C, Ctrl+Break, closing
  // the console, log-off and shut-down) remove the temporary file of the
  // OutputFile in progress before the process ends. For the tool's main(); a
  // SIGKILL or TerminateProcess or a power cut can still leave a ".<uuid>.tmp",
  // never a partial .eml.
  static void RemoveTemporaryFileOnSignals();

  static constexpr size_t kBufferSize = 256 * 1024;
  // Pieces at least this large skip the buffer.
  static constexpr size_t kDirectWriteSize = 32 * 1024;
  // Written bytes handed to the disk in steps of this size before the fsync.
  static constexpr uint64_t kWritebackStep = 8 << 20;

  // Errors: kIo naming the folder and the system's reason. With `temp_name`,
  // the temporary file has exactly that name in the folder (created
  // exclusively: an existing file is an error), for a caller that must know the
  // name before the file exists.
  static formats::Result<std::unique_ptr<OutputFile>> Create(const std::string& folder,
                                                             const std::string& temp_name = "");
  ~OutputFile() override;

  // Buffered; errors: kIo with the system's reason (disk full, folder gone).
  formats::Status Write(std::string_view bytes) override;

  // Makes the file visible as <uuid>.eml; returns its path. Errors: kIo.
  formats::Result<std::string> Commit();

  // For a caller that makes the file visible itself: writes out the buffer,
  // sets the modification time (Unix seconds) when given, and closes the file
  // without syncing it. The temporary file then stays and belongs to the caller.
  // Errors: kIo (the file is then removed).
  formats::Status Finish(std::optional<int64_t> modified);

  const std::string& temp_path() const { return temp_path_; }

 private:
#ifdef _WIN32
  using FileHandle = void*;  // a HANDLE
#else
  using FileHandle = int;
#endif
  OutputFile(std::string folder, std::string uuid, std::string temp_path, FileHandle fd);
  formats::Status Flush();
  formats::Status WriteAll(const char* data, size_t size);
  formats::Status Fail(const std::string& what, int error_number);

  std::string folder_;
  std::string uuid_;
  std::string temp_path_;
#ifdef _WIN32
  FileHandle fd_ = nullptr;
#else
  FileHandle fd_ = -1;
#endif
  bool committed_ = false;
  std::vector<char> buffer_;
  uint64_t written_ = 0;
  uint64_t writeback_from_ = 0;
};

}  // namespace converter
