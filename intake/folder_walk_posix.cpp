#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "intake/folder_scan.h"
#include "intake/folder_walk.h"
#include "intake/name_text.h"
#include "platform/error_report.h"

namespace intake::walk {

namespace {

// The path with every link resolved, or empty when it cannot be resolved.
std::string RealPathOf(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

// True when the real path `inner` is `outer` or lies below it.
bool IsWithin(const std::string& inner, const std::string& outer) {
  if (outer == "/") return true;
  return inner.starts_with(outer) && (inner.size() == outer.size() || inner[outer.size()] == '/');
}

bool IsLink(DIR* dir, const dirent* d) {
  if (d->d_type != DT_UNKNOWN) return d->d_type == DT_LNK;
  struct stat st;
  return ::fstatat(::dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

FolderId IdOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace

FolderId LookUpFolder(const std::string& entry) {
  struct stat st;
  if (!IsUsablePath(entry) || ::stat(entry.c_str(), &st) != 0) throw platform::Failure("Path not found");
  return IdOf(st);
}

bool IsRootFolder(const std::string&, const FolderId& id) {
  struct stat st;
  return ::stat("/", &st) == 0 && IdOf(st) == id;
}

void StartLine::Note(const std::string& folder) {
  if (!IsUsablePath(folder)) return;
  std::string real = RealPathOf(folder);
  if (!real.empty()) real_paths_.push_back(std::move(real));
}

// A link to a start folder or to one of its ancestors is a loop; a link to a
// folder inside a start folder is a second way into a folder the walk lists
// under its real path. Either is skipped, whichever the listing meets first.
bool StartLine::LeadsInto(const std::string& link) const {
  const std::string target = RealPathOf(link);
  if (target.empty()) return false;
  return std::any_of(real_paths_.begin(), real_paths_.end(), [&](const std::string& start) {
    return IsWithin(target, start) || IsWithin(start, target);
  });
}

int ListSubfolders(const std::string& entry, const StartLine& line, std::vector<SubFolder>& subs) {
  if (!IsUsablePath(entry)) return kPathNotFound;
  DIR* dir = ::opendir(entry.c_str());
  if (dir == nullptr) {
    if (errno == EACCES || errno == EPERM) return kPermissionDenied;
    if (errno == ENOENT || errno == ENOTDIR) return kPathNotFound;
    return kOtherFailure;
  }
  int failure = 0;
  errno = 0;
  while (const dirent* d = ::readdir(dir)) {
    const char* raw = d->d_name;
    if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0'))) continue;
    if (d->d_type != DT_DIR && d->d_type != DT_LNK && d->d_type != DT_UNKNOWN) continue;
    struct stat st;
    if (::fstatat(::dirfd(dir), raw, &st, 0) != 0 || !S_ISDIR(st.st_mode)) continue;
    if (IsLink(dir, d) && line.LeadsInto(entry + raw)) continue;
    std::string name(raw);
    // Not valid UTF-8: the code page cannot name it, as a '?' would show.
    if (!DecodeUtf8(name)) name.assign(1, '?');
    subs.push_back({std::move(name), IdOf(st)});
    errno = 0;
  }
  if (errno != 0) failure = kOtherFailure;
  ::closedir(dir);
  return failure;
}

}  // namespace intake::walk
