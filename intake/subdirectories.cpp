#include "intake/subdirectories.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "intake/folder_scan.h"
#include "platform/error_report.h"
#include "platform/path_helpers.h"

namespace intake {

namespace {

// Error numbers of the original runtime that decide whether a folder that cannot
// be listed leaves the set.
constexpr int kPermissionDenied = 70;
constexpr int kPathNotFound = 76;
constexpr int kOtherFailure = 1;

using FolderId = std::pair<dev_t, ino_t>;

QString WithoutTrailingSlashes(const QString& path) {
  QString trimmed = path;
  while (trimmed.size() > 1 && trimmed.endsWith(u'/')) trimmed.chop(1);
  return trimmed;
}

// The path with every link resolved, or empty when it cannot be resolved.
QByteArray RealPathOf(const QByteArray& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.constData(), nullptr),
                                                   &std::free);
  return real ? QByteArray(real.get()) : QByteArray();
}

// True when the real path `inner` is `outer` or lies below it.
bool IsWithin(const QByteArray& inner, const QByteArray& outer) {
  if (outer == "/") return true;
  return inner.startsWith(outer) && (inner.size() == outer.size() || inner[outer.size()] == '/');
}

// The folder lookup: what the file system says about the entry (links followed).
struct stat LookUpFolder(const QString& entry) {
  const std::optional<QByteArray> encoded = EncodePath(entry);
  struct stat st;
  if (!encoded || ::stat(encoded->constData(), &st) != 0)
    throw platform::Failure("Path not found");
  return st;
}

class LevelWalker {
 public:
  LevelWalker(platform::Dialogs& dialogs, platform::EventPump& pump)
      : guard_(dialogs,
               platform::ProcedureLocation("Brannock", "AddFolder", "GetSubDirectories2016")),
        pump_(pump) {
    struct stat st;
    if (::stat("/", &st) == 0) root_ = FolderId(st.st_dev, st.st_ino);
  }

  // Notes where the start folders really are, before the walk begins.
  void NoteStartFolders(const QStringList& folders) {
    for (const QString& folder : folders) {
      const std::optional<QByteArray> encoded = EncodePath(folder);
      if (!encoded) continue;
      const QByteArray real = RealPathOf(*encoded);
      if (!real.isEmpty()) start_real_paths_.push_back(real);
    }
  }

  // Walks the entries of `level` in order and returns the folders found directly
  // below them. Entries that cannot be listed for want of permission or for a
  // missing path are removed from `level`. `start_level`: the caller's own
  // entries, which have not been seen yet.
  QStringList WalkLevel(QStringList& level, bool start_level) {
    QStringList next;
    for (qsizetype i = 0; i < level.size(); ++i) {
      const QString entry = level[i];
      if (!guard_.If(108, [&] { return platform::IsFolder(entry); })) continue;
      if (!guard_.If(110, [&] { return entry.size() < kMaxPathLength; })) continue;
      std::optional<FolderId> id;
      guard_.Step(112, [&] {
        const struct stat st = LookUpFolder(entry);
        id = FolderId(st.st_dev, st.st_ino);
      });
      guard_.Step(114, [&] { pump_.Yield(); });
      if (!guard_.If(116, [&] { return Qualifies(entry, id); })) continue;
      // A start entry reached again (twice in the set, or below another start
      // entry already walked) is not listed a second time. Deeper entries were
      // checked when they were found.
      if (start_level && id && !seen_.insert(*id).second) continue;

      const int failure = ListSubfolders(entry, next);
      if (failure == kPermissionDenied || failure == kPathNotFound) {
        const qsizetype first = level.indexOf(entry);
        if (first >= 0) {
          level.removeAt(first);
          if (first <= i) --i;
        }
      }
    }
    return next;
  }

  // Appends the entries of `level` that are folders and qualify (the last step
  // of each level).
  void AppendQualifying(const QStringList& level, QStringList& folders) {
    for (const QString& entry : level) {
      if (!guard_.If(154, [&] { return platform::IsFolder(entry); })) continue;
      guard_.Step(156, [&] { pump_.Yield(); });
      if (!guard_.If(158, [&] { return Qualifies(entry, std::nullopt); })) continue;
      guard_.Step(160, [&] { folders.push_back(entry); });
    }
  }

 private:
  // Throws when the attributes cannot be read (the folder went away).
  bool Qualifies(const QString& entry, std::optional<FolderId> id) {
    if (!id) {
      const struct stat st = LookUpFolder(entry);
      id = FolderId(st.st_dev, st.st_ino);
    }
    const std::optional<int> attributes = FileAttributes(WithoutTrailingSlashes(entry));
    if (!attributes) throw platform::Failure("Path not found");
    return FolderQualifies(*attributes, root_ && *id == *root_);
  }

  // Appends entry + name + '/' to `next` for each subfolder of `entry` that is
  // walked. Returns 0, or the failure that stopped the listing; what was appended
  // before it stays. Shows nothing.
  int ListSubfolders(const QString& entry, QStringList& next) {
    try {
      const std::optional<QByteArray> encoded = EncodePath(entry);
      if (!encoded) return kPathNotFound;
      DIR* dir = ::opendir(encoded->constData());
      if (dir == nullptr) {
        if (errno == EACCES || errno == EPERM) return kPermissionDenied;
        if (errno == ENOENT || errno == ENOTDIR) return kPathNotFound;
        return kOtherFailure;
      }
      // Names first, in the order Windows file systems keep them, so the result
      // does not depend on this file system's hash order.
      struct Sub {
        QString name;
        FolderId id;
      };
      std::vector<Sub> subs;
      int failure = 0;
      errno = 0;
      while (const dirent* d = ::readdir(dir)) {
        const char* raw = d->d_name;
        if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0'))) continue;
        if (d->d_type != DT_DIR && d->d_type != DT_LNK && d->d_type != DT_UNKNOWN) continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), raw, &st, 0) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (IsLink(dir, d) && LeadsIntoStartLine(*encoded + raw)) continue;
        const QByteArray bytes(raw);
        QString name = QString::fromUtf8(bytes);
        // Not valid UTF-8: the code page cannot name it, as a '?' would show.
        if (name.toUtf8() != bytes) name = QStringLiteral("?");
        subs.push_back({std::move(name), FolderId(st.st_dev, st.st_ino)});
        errno = 0;
      }
      if (errno != 0) failure = kOtherFailure;
      ::closedir(dir);
      std::sort(subs.begin(), subs.end(), [](const Sub& a, const Sub& b) {
        const int folded = a.name.compare(b.name, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.name < b.name;
      });
      for (const Sub& sub : subs) {
        pump_.Yield();
        if (sub.name.size() >= kMaxPathLength || HasBadNameChars(sub.name) ||
            sub.name.contains(u'?'))
          continue;
        if (!seen_.insert(sub.id).second) continue;
        next.push_back(entry + sub.name + u'/');
      }
      return failure;
    } catch (const std::exception&) {
      return kOtherFailure;
    }
  }

  static bool IsLink(DIR* dir, const dirent* d) {
    if (d->d_type != DT_UNKNOWN) return d->d_type == DT_LNK;
    struct stat st;
    return ::fstatat(::dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
  }

  // A link to a start folder or to one of its ancestors is a loop; a link to a
  // folder inside a start folder is a second way into a folder the walk lists
  // under its real path. Either is skipped, whichever the listing meets first.
  bool LeadsIntoStartLine(const QByteArray& link) const {
    const QByteArray target = RealPathOf(link);
    if (target.isEmpty()) return false;
    return std::any_of(start_real_paths_.begin(), start_real_paths_.end(),
                       [&](const QByteArray& start) {
                         return IsWithin(target, start) || IsWithin(start, target);
                       });
  }

  platform::Guard guard_;
  platform::EventPump& pump_;
  std::optional<FolderId> root_;
  std::set<FolderId> seen_;
  std::vector<QByteArray> start_real_paths_;
};

}  // namespace

bool FolderQualifies(int attributes, bool is_root) {
  if (is_root) return true;
  return attributes != (kAttrDirectory | kAttrHidden | kAttrSystem) &&
         attributes != (kAttrDirectory | kAttrHidden | kAttrSystem | kAttrReparsePoint);
}

void GetSubDirectories2016(QStringList& folders, bool recurse, platform::Dialogs& dialogs,
                           platform::EventPump& pump) {
  // The original recursed once per level; a loop over the levels gives the same
  // order without a stack as deep as the tree.
  LevelWalker walker(dialogs, pump);
  walker.NoteStartFolders(folders);
  QStringList current = walker.WalkLevel(folders, /*start_level=*/true);
  QStringList found;
  while (!current.isEmpty()) {
    QStringList deeper;
    if (recurse) deeper = walker.WalkLevel(current, /*start_level=*/false);
    walker.AppendQualifying(current, found);
    current = std::move(deeper);
  }
  folders += found;
}

}  // namespace intake
