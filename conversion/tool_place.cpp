#include "conversion/tool_place.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "conversion/fd_p.h"
#include "platform/error_report.h"

namespace conversion {

using platform::FailWithErrno;

namespace {

constexpr mode_t kToolMode = 0700;

[[noreturn]] void Fail(const QString& what) { throw platform::Failure(what.toStdString()); }

void CheckPrivateStat(const struct stat& info, const QString& folder) {
  if (!S_ISDIR(info.st_mode)) Fail(QStringLiteral("Not a private folder: ") + folder);
  if (info.st_uid != ::geteuid()) Fail(QStringLiteral("Folder owned by another user: ") + folder);
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    Fail(QStringLiteral("Folder writable by others: ") + folder);
  }
}

// Opens the folder without following a link and checks it on the opened
// descriptor, so the folder checked is the folder used.
UniqueFd OpenPrivateFolder(const QString& folder) {
  const QByteArray native = QFile::encodeName(folder);
  if (folder.isEmpty() || native.contains('\0')) Fail(QStringLiteral("No folder for the tool"));
  UniqueFd fd(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) FailWithErrno(QStringLiteral("Cannot open folder ") + folder, errno);
  struct stat info;
  if (::fstat(fd.get(), &info) != 0) {
    FailWithErrno(QStringLiteral("Cannot examine folder ") + folder, errno);
  }
  CheckPrivateStat(info, folder);
  return fd;
}

// Creates `folder` with mode 0700 (an existing one is kept) and checks it.
void MakePrivateFolder(const QString& folder) {
  const QByteArray native = QFile::encodeName(folder);
  if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
    FailWithErrno(QStringLiteral("Cannot create folder ") + folder, errno);
  }
  (void)OpenPrivateFolder(folder);
}

bool ReadsAs(int fd, const QByteArray& image) {
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (info.st_uid != ::geteuid()) return false;
  if (info.st_size != static_cast<off_t>(image.size())) return false;
  QByteArray buffer(64 * 1024, Qt::Uninitialized);
  qsizetype compared = 0;
  while (compared < image.size()) {
    const ssize_t got = ::read(fd, buffer.data(), static_cast<size_t>(buffer.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    if (got > image.size() - compared) return false;
    if (std::memcmp(buffer.constData(), image.constData() + compared, static_cast<size_t>(got)) != 0) {
      return false;
    }
    compared += got;
  }
  char extra;
  return ::read(fd, &extra, 1) == 0;
}

}  // namespace

void CheckPrivateFolder(const QString& folder) { (void)OpenPrivateFolder(folder); }

QString PrivateToolFolder() {
  QString base;
  if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
    base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  }
  if (!base.isEmpty()) {
    CheckPrivateFolder(base);
    const QString folder = base + QStringLiteral("/mailvane");
    MakePrivateFolder(folder);
    return folder;
  }
  // The temporary folder is shared by everyone; the user id in the name keeps
  // users apart, and the checks refuse a folder someone else prepared.
  const QString folder =
      QDir::tempPath() + QStringLiteral("/mailvane-") + QString::number(::geteuid());
  MakePrivateFolder(folder);
  return folder;
}

QString PlaceTool(const QByteArray& image, const QString& folder, platform::EventPump& pump,
                  const QString& name) {
  pump.Yield();
  if (name.isEmpty() || name.contains(u'/')) Fail(QStringLiteral("Invalid tool name"));
  const UniqueFd dir = OpenPrivateFolder(folder);
  const QString path = folder + u'/' + name;
  const QByteArray native_name = QFile::encodeName(name);

  UniqueFd existing(::openat(dir.get(), native_name.constData(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (existing.get() < 0) {
    if (errno == ELOOP) Fail(QStringLiteral("A link stands in place of the tool: ") + path);
    if (errno != ENOENT) {
      // Unreadable or odd (a fifo, a socket): it is replaced below, but a
      // link must not slip through as "something else".
      struct stat info;
      if (::fstatat(dir.get(), native_name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(info.st_mode)) {
        Fail(QStringLiteral("A link stands in place of the tool: ") + path);
      }
    }
  } else if (ReadsAs(existing.get(), image)) {
    // A leftover of an earlier run with the same bytes: keep it, but make
    // sure only the user can run or change it.
    struct stat info;
    if (::fstat(existing.get(), &info) == 0 && (info.st_mode & 07777) != kToolMode) {
      if (::fchmod(existing.get(), kToolMode) != 0) {
        FailWithErrno(QStringLiteral("Cannot set the mode of ") + path, errno);
      }
    }
    return path;
  }
  existing.Reset();

  // Write the image under a fresh name beside it, flush it, then rename it over
  // the tool's place: whoever looks sees either the old file or the whole new one.
  QByteArray temp_name;
  UniqueFd out;
  for (int attempt = 0; attempt < 100 && out.get() < 0; ++attempt) {
    temp_name = "." + native_name + ".new-" +
                QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    out.Reset(::openat(dir.get(), temp_name.constData(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kToolMode));
    if (out.get() < 0 && errno != EEXIST) {
      FailWithErrno(QStringLiteral("Cannot create the tool in ") + folder, errno);
    }
  }
  if (out.get() < 0) FailWithErrno(QStringLiteral("Cannot create the tool in ") + folder, EEXIST);

  int error = 0;
  if (!WriteAll(out.get(), image.constData(), static_cast<size_t>(image.size()))) error = errno;
  // The umask may have narrowed the mode; the tool must be runnable by its user.
  if (error == 0 && ::fchmod(out.get(), kToolMode) != 0) error = errno;
  if (error == 0 && ::fsync(out.get()) != 0) error = errno;
  // A program still open for writing cannot be started ("text file busy").
  if (!out.Close() && error == 0) error = errno;
  if (error == 0 && ::renameat(dir.get(), temp_name.constData(), dir.get(),
                               native_name.constData()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlinkat(dir.get(), temp_name.constData(), 0);
    FailWithErrno(QStringLiteral("Cannot write the tool to ") + path, error);
  }
  return path;
}

}  // namespace conversion
