// What the archive converter asks of the operating system, one function per
// need; system_posix.cpp implements it (system_windows.cpp is its twin).
// Paths are UTF-8 text; errors are the system's error numbers (0 for none).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace archive_converter {

// A file's identity: the same file under two names (a link, a path given
// twice) has one.
struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
  auto operator<=>(const FileId&) const = default;
};

enum class EntryKind { kFile, kFolder, kOther, kMissing };

struct Entry {
  EntryKind kind = EntryKind::kMissing;
  FileId id;
  uint64_t size = 0;
  int error = 0;  // why it is kMissing (no such file, a link loop, no access)
};

// What `path` is, links followed.
Entry Inspect(const std::string& path);
// The names in a folder, without "." and ".."; `error` tells why none.
std::vector<std::string> ListFolder(const std::string& path, int& error);
// `path` made absolute against the working folder, "." and ".." and repeated
// separators taken out by the text alone (links are not resolved).
std::string AbsolutePath(const std::string& path);
// `path` with every link resolved; empty when it cannot be resolved.
std::string CanonicalPath(const std::string& path);
// The folder and every missing folder above it.
int MakeFolders(const std::string& path);
// Gives the finished file `temp` the name `target`. Without `replace`, an
// existing file is never replaced (EEXIST then), and `temp` keeps its name as
// a second link where the file system has links (`temp_kept`), so that the
// caller removes it once the result is recorded.
int PlaceFile(const std::string& temp, const std::string& target, bool replace, bool& temp_kept);
int RemoveFile(const std::string& path);
// The number of names a file has (0 when it is gone).
uint32_t LinkCount(const std::string& path);
// Makes everything written below `folder` durable: one sync of its file system.
int SyncFolderFileSystem(const std::string& folder);
// Makes one file's bytes, or one folder's names, durable.
int SyncPath(const std::string& path);

// The report and its journal: appended to, synced, held by one run at a time.
class LockedFile {
 public:
  LockedFile() = default;
  ~LockedFile();
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  // Opens or creates `path` for reading and appending and takes its lock.
  // EWOULDBLOCK when another run holds it.
  int Open(const std::string& path);
  std::string ReadAll();
  int Truncate(uint64_t size);
  int Append(const std::string& bytes);
  int Sync();

 private:
  intptr_t handle_ = -1;
};

// Readies the process and returns its arguments in UTF-8, without the
// program's name. On Windows they come from the system's UTF-16 command line
// (argv holds them in the ANSI code page), and a console is set to show the
// UTF-8 text written to it for as long as the program runs.
std::vector<std::string> StartUp(int argc, char** argv);
// The running program's own file, to start workers from.
std::string ThisProgram();
// True when standard error is a terminal.
bool ErrorIsTerminal();
// The standard streams in binary mode (Windows would otherwise change line ends).
void BinaryStandardStreams();
// Caps the address space of this process at its size at the first call plus
// `extra` bytes, so that an allocation beyond it fails. Does nothing where the system
// or a sanitizer cannot take a cap.
void CapMemory(uint64_t extra);
// The system's text for an error number.
std::string ErrorText(int error);

}  // namespace archive_converter
