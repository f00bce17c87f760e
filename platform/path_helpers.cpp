#include "platform/path_helpers.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error_report.h"

namespace platform {

namespace {

// The file system takes paths in the locale's encoding; Qt's QFile::encodeName
// is the same mapping that QFile itself uses, so names round-trip with Qt.
QByteArray Native(const QString& path) { return QFile::encodeName(path); }

// The part of the pass shared by both styles: every non-overlapping pair of
// separators, counted from the left, becomes one.
QString CollapsePairs(QStringView text, QChar separator) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    out.append(text[i]);
    if (text[i] == separator && i + 1 < text.size() && text[i + 1] == separator) ++i;
  }
  return out;
}

bool StatPath(const QString& path, struct stat* info) {
  if (path.isEmpty()) return false;
  const QByteArray native = Native(path);
  // A name with an embedded NUL would be cut short by the C library and name a
  // different file; such a name names nothing.
  if (native.contains('\0')) return false;
  return ::stat(native.constData(), info) == 0;
}

}  // namespace

QChar SeparatorOf(PathStyle style) {
  return style == PathStyle::kWindows ? QChar(u'\\') : QChar(u'/');
}

bool PathExists(const QString& path) {
  struct stat info;
  return StatPath(path, &info);
}

bool IsFolder(const QString& path) {
  struct stat info;
  return StatPath(path, &info) && S_ISDIR(info.st_mode);
}

QString FileNameOf(const QString& path, PathStyle style) {
  const qsizetype last = path.lastIndexOf(SeparatorOf(style));
  return last < 0 ? path : path.mid(last + 1);
}

QString FolderOf(const QString& path, PathStyle style) {
  const qsizetype last = path.lastIndexOf(SeparatorOf(style));
  return last < 0 ? QString() : path.left(last + 1);
}

QString StripExtension(const QString& name) {
  // A dot in first place starts a name (.msg), it does not end one.
  const qsizetype dot = name.lastIndexOf(u'.');
  return dot >= 1 ? name.left(dot) : name;
}

QString CollapseBackslashes(const QString& path, PathStyle style) {
  const QChar separator = SeparatorOf(style);
  if (path.isEmpty() || path.front() != separator) return CollapsePairs(path, separator);
  qsizetype rest = 0;
  while (rest < path.size() && path[rest] == separator) ++rest;
  // The whole leading run is the root: a network prefix on Windows, so that
  // \\srv\share survives, and the single root separator on POSIX.
  const QString root = style == PathStyle::kWindows ? QStringLiteral("\\\\") : QStringLiteral("/");
  return root + CollapsePairs(QStringView(path).mid(rest), separator);
}

void RemoveFile(const QString& path, EventPump& pump) {
  pump.Yield();
  if (path.isEmpty()) return;
  const QByteArray native = Native(path);
  if (native.contains('\0')) return;
  if (::unlink(native.constData()) == 0) return;
  try {
    ForceDeleteFile(path);
  } catch (const Failure&) {
    // Deliberately quiet: callers learn about a file that stayed from what
    // happens next (a move onto it fails, a leftover tool file is reused).
  }
}

void ForceDeleteFile(const QString& path) {
  const QByteArray native = Native(path);
  if (path.isEmpty() || native.contains('\0')) FailWithErrno({}, ENOENT);
  // Make a read-only file writable first. The file is opened without following
  // a link, so the mode of whatever a link points to is never changed.
  const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
      (void)::fchmod(fd, (info.st_mode & 07777) | S_IWUSR);
    }
    ::close(fd);
  }
  if (::unlink(native.constData()) != 0) FailWithErrno({}, errno);
}

}  // namespace platform
