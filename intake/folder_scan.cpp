#include "intake/folder_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace intake {

namespace {

// Greedy wildcard match with one backtrack point; linear in practice, at worst
// name length times pattern length. Both sides are already case-folded.
bool MatchFolded(QStringView name, QStringView pattern) {
  qsizetype n = 0, p = 0;
  qsizetype star_p = -1, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      star_p = p++;
      star_n = n;
    } else if (star_p >= 0) {
      p = star_p + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

// Bytes straight from readdir: accepted only when they are valid UTF-8, so that
// the QString names the same file when it is encoded again.
std::optional<QString> DecodeName(const char* bytes) {
  const QByteArray raw(bytes);
  QString name = QString::fromUtf8(raw);
  if (name.toUtf8() != raw) return std::nullopt;
  return name;
}

bool NameLess(const QString& a, const QString& b) {
  const int folded = a.compare(b, Qt::CaseInsensitive);
  return folded != 0 ? folded < 0 : a < b;
}

QString LastName(const QString& path) {
  QStringView view(path);
  while (view.size() > 1 && view.endsWith(u'/')) view.chop(1);
  const qsizetype slash = view.lastIndexOf(u'/');
  return view.mid(slash + 1).toString();
}

}  // namespace

bool MatchesWildcard(const QString& name, const QString& pattern) {
  const QString folded_name = name.toCaseFolded();
  const QString folded_pattern = pattern.toCaseFolded();
  if (MatchFolded(folded_name, folded_pattern)) return true;
  // Windows lets a trailing ".*" match an empty extension without its dot.
  if (folded_pattern.endsWith(QStringLiteral(".*")))
    return MatchFolded(folded_name, QStringView(folded_pattern).chopped(2));
  return false;
}

std::optional<QByteArray> EncodePath(const QString& path) {
  if (path.contains(QChar(u'\0'))) return std::nullopt;
  if (!QStringView(path).isValidUtf16()) return std::nullopt;
  QByteArray encoded = path.toUtf8();
  // PATH_MAX counts the terminating NUL.
  if (encoded.size() >= kMaxPathLength) return std::nullopt;
  return encoded;
}

bool IsExistingFile(const QString& path) {
  const std::optional<QByteArray> encoded = EncodePath(path);
  if (!encoded || encoded->isEmpty()) return false;
  // stat needs no access to the file itself, as the Windows open with no access
  // rights did; only regular files count, so a pipe or a device never reaches the
  // converter.
  struct stat st;
  if (::stat(encoded->constData(), &st) != 0) return false;
  return S_ISREG(st.st_mode);
}

bool HasBadNameChars(const QString& name) {
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    if (QChar::isHighSurrogate(c)) {
      if (i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode())) {
        ++i;
        continue;
      }
      return true;
    }
    if (QChar::isLowSurrogate(c)) return true;
    if (c < 32 || c == u'?' || (c >= 127 && c <= 159)) return true;
  }
  return false;
}

std::optional<int> FileAttributes(const QString& path) {
  const std::optional<QByteArray> encoded = EncodePath(path);
  if (!encoded || encoded->isEmpty()) return std::nullopt;
  struct stat link_st;
  if (::lstat(encoded->constData(), &link_st) != 0) return std::nullopt;
  struct stat st = link_st;
  int attributes = 0;
  if (S_ISLNK(link_st.st_mode)) {
    attributes |= kAttrReparsePoint;
    if (::stat(encoded->constData(), &st) != 0) return std::nullopt;
  }
  if (S_ISDIR(st.st_mode)) attributes |= kAttrDirectory;
  if (S_ISREG(st.st_mode)) attributes |= kAttrArchive;
  if (LastName(path).startsWith(u'.') && path != QStringLiteral("/")) attributes |= kAttrHidden;
  if (::access(encoded->constData(), W_OK) != 0) attributes |= kAttrReadOnly;
  return attributes;
}

QStringList ListFolderFiles(const QString& folder, const QString& pattern) {
  QString base = folder;
  if (!base.endsWith(u'/')) base += u'/';
  QStringList names;
  const std::optional<QByteArray> encoded = EncodePath(base);
  if (!encoded) return names;
  DIR* dir = ::opendir(encoded->constData());
  if (dir == nullptr) return names;
  const QString folded_pattern = pattern.toCaseFolded();
  const bool dot_star = folded_pattern.endsWith(QStringLiteral(".*"));
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const char* raw = entry->d_name;
    if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0'))) continue;
    // Folders are never listed; skip them cheaply when the file system says so.
    if (entry->d_type == DT_DIR) continue;
    const std::optional<QString> name = DecodeName(raw);
    if (!name) continue;
    const QString folded_name = name->toCaseFolded();
    const bool matches =
        MatchFolded(folded_name, folded_pattern) ||
        (dot_star && MatchFolded(folded_name, QStringView(folded_pattern).chopped(2)));
    if (!matches) continue;
    if (!IsExistingFile(base + *name)) continue;
    names.push_back(*name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end(), NameLess);
  return names;
}

}  // namespace intake
