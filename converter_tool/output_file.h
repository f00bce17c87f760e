// The one .eml a run leaves behind, written so that no partial .eml can exist.
//
// Bytes go to ".<uuid>.tmp" in the output folder (a name no reader takes for a
// message), created exclusively. Commit() flushes and syncs it, then links it as
// "<uuid>.eml" without replacing any file (a fresh uuid when the name is taken)
// and removes the temporary name. Until Commit succeeds, destroying the object
// removes the temporary file: a failed run leaves the folder as it found it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "formats/common/result.h"
#include "formats/mime/sink.h"

namespace converter {

// A random (version 4) UUID in its 36-character text form.
std::string NewUuid();

// folder + '/' + name; a folder ending in '/' gets no second one.
std::string JoinPath(const std::string& folder, const std::string& name);

class OutputFile : public formats::mime::Sink {
 public:
  static constexpr size_t kBufferSize = 256 * 1024;

  // Errors: kIo naming the folder and the system's reason.
  static formats::Result<std::unique_ptr<OutputFile>> Create(const std::string& folder);
  ~OutputFile() override;

  // Buffered; errors: kIo with the system's reason (disk full, folder gone).
  formats::Status Write(std::string_view bytes) override;

  // Makes the file visible as <uuid>.eml; returns its path. Errors: kIo.
  formats::Result<std::string> Commit();

  const std::string& temp_path() const { return temp_path_; }

 private:
  OutputFile(std::string folder, std::string uuid, std::string temp_path, int fd);
  formats::Status Flush();
  formats::Status Fail(const std::string& what, int error_number);

  std::string folder_;
  std::string uuid_;
  std::string temp_path_;
  int fd_ = -1;
  bool committed_ = false;
  std::vector<char> buffer_;
};

}  // namespace converter
