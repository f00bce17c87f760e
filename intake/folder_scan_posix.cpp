// The file system's side of folder_scan.h on POSIX systems: names are the
// directory's bytes, accepted when they are UTF-8.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "intake/folder_scan.h"
#include "intake/name_text.h"

namespace intake {

namespace {

std::string LastName(const std::string& path) {
  size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  const size_t slash = path.rfind('/', end - 1);
  return path.substr(slash == std::string::npos ? 0 : slash + 1, end - (slash == std::string::npos ? 0 : slash + 1));
}

}  // namespace

bool IsExistingFile(const std::string& path) {
  if (!IsUsablePath(path)) return false;
  // stat needs no access to the file itself, as the Windows open with no access
  // rights did; only regular files count, so a pipe or a device never reaches the
  // converter.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return S_ISREG(st.st_mode);
}

std::optional<int> FileAttributes(const std::string& path) {
  if (!IsUsablePath(path)) return std::nullopt;
  struct stat link_st;
  if (::lstat(path.c_str(), &link_st) != 0) return std::nullopt;
  struct stat st = link_st;
  int attributes = 0;
  if (S_ISLNK(link_st.st_mode)) {
    attributes |= kAttrReparsePoint;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  }
  if (S_ISDIR(st.st_mode)) attributes |= kAttrDirectory;
  if (S_ISREG(st.st_mode)) attributes |= kAttrArchive;
  if (path != "/" && LastName(path).starts_with('.')) attributes |= kAttrHidden;
  if (::access(path.c_str(), W_OK) != 0) attributes |= kAttrReadOnly;
  return attributes;
}

std::vector<std::string> ListFolderFiles(const std::string& folder, const std::string& pattern) {
  std::string base = folder;
  if (!base.ends_with('/')) base += '/';
  std::vector<std::string> names;
  if (!IsUsablePath(base)) return names;
  DIR* dir = ::opendir(base.c_str());
  if (dir == nullptr) return names;
  const WildcardMatcher matcher(pattern);
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const char* raw = entry->d_name;
    if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0'))) continue;
    // Folders are never listed; skip them cheaply when the file system says so.
    if (entry->d_type == DT_DIR) continue;
    std::string name(raw);
    // Matches is false for bytes that are not UTF-8.
    if (!matcher.Matches(name)) continue;
    if (!IsExistingFile(base + name)) continue;
    names.push_back(std::move(name));
  }
  ::closedir(dir);
  SortNames(names);
  return names;
}

}  // namespace intake
