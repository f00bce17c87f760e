#include "conversion/batch_run.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cmath>
#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "conversion/tool_place.h"
#include "conversion/fd_p.h"
#include "intake/folder_scan.h"
#include "platform/error_report.h"
#include "platform/path_helpers.h"

namespace conversion {

using platform::FailWithErrno;

namespace {

// Clears the window's busy flag however the run leaves.
class BusyReset {
 public:
  explicit BusyReset(bool& flag) : flag_(flag) {}
  ~BusyReset() { flag_ = false; }
  BusyReset(const BusyReset&) = delete;
  BusyReset& operator=(const BusyReset&) = delete;

 private:
  bool& flag_;
};

bool CopyAll(int from, int to) {
  QByteArray buffer(256 * 1024, Qt::Uninitialized);
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), static_cast<size_t>(buffer.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(to, buffer.constData(), static_cast<size_t>(got))) return false;
  }
}

// The move across file systems: a complete, flushed copy replaces the target in
// one rename; only then is the source removed.
void CopyAcrossFileSystems(const QByteArray& from, const QString& to) {
  const QByteArray native_to = QFile::encodeName(to);
  UniqueFd in(::open(from.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (in.get() < 0) FailWithErrno(QStringLiteral("Cannot read the result"), errno);
  struct stat info;
  if (::fstat(in.get(), &info) != 0) FailWithErrno(QStringLiteral("Cannot read the result"), errno);
  if (!S_ISREG(info.st_mode)) FailWithErrno(QStringLiteral("The result is not a file"), EINVAL);

  QString folder = platform::FolderOf(to);
  if (folder.isEmpty()) folder = QStringLiteral("./");
  QByteArray temp;
  UniqueFd out;
  for (int attempt = 0; attempt < 100 && out.get() < 0; ++attempt) {
    temp = QFile::encodeName(folder) + ".mailvane-" +
           QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".part";
    out.Reset(::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     0600));
    if (out.get() < 0 && errno != EEXIST) {
      FailWithErrno(QStringLiteral("Cannot write to ") + folder, errno);
    }
  }
  if (out.get() < 0) FailWithErrno(QStringLiteral("Cannot write to ") + folder, EEXIST);

  int error = 0;
  if (!CopyAll(in.get(), out.get())) error = errno;
  if (error == 0 && ::fchmod(out.get(), info.st_mode & 0777) != 0) error = errno;
  if (error == 0 && ::fsync(out.get()) != 0) error = errno;
  if (!out.Close() && error == 0) error = errno;
  if (error == 0 && ::rename(temp.constData(), native_to.constData()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.constData());
    FailWithErrno(QStringLiteral("Cannot move the result to ") + to, error);
  }
  // The result is in place; a copy that cannot be removed from the working
  // folder is only a leftover.
  ::unlink(from.constData());
}

// Gives `from` the name `to` unless something is there already.
bool RenameWithoutReplacing(const QByteArray& from, const QByteArray& to) {
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without that flag: a second name, then the first one goes.
  if (::link(from.constData(), to.constData()) != 0) return false;
  ::unlink(from.constData());
  return true;
}

// After a failed move: keeps the result in the working folder under the
// target's own name, never over a file there, and otherwise removes it, so no
// file stays behind under the tool's generated name, where every further run
// would add one more. Returns the sentence the report adds about it.
QString KeepResultAfterFailedMove(const QString& result, const QString& kept) {
  const QByteArray native_result = QFile::encodeName(result);
  if (RenameWithoutReplacing(native_result, QFile::encodeName(kept))) {
    return QStringLiteral("The result is kept as ") + kept + QStringLiteral(".");
  }
  const int error = errno;
  if (::unlink(native_result.constData()) != 0 && errno != ENOENT) {
    return QStringLiteral("The result is left as ") + result + QStringLiteral(".");
  }
  if (error == EEXIST) {
    return QStringLiteral("The result was not kept: ") + kept +
           QStringLiteral(" is already there.");
  }
  return QStringLiteral("The result was not kept.");
}

}  // namespace

int ProcessToolRunner::RunAndWait(const QString& program, const QStringList& arguments,
                                  ProgressSink* bar, const QString& text, int start_value,
                                  int total) {
  return conversion::RunAndWait(program, arguments, bar, text, start_value, total, pump_, cycle_,
                                running_);
}

QString WithTrailingSeparator(const QString& folder) {
  const QChar separator = platform::SeparatorOf(platform::kNativePathStyle);
  if (folder.isEmpty() || folder.endsWith(separator)) return folder;
  return folder + separator;
}

QString TargetPathFor(const QString& source_path, const QString& folder) {
  const QChar separator = platform::SeparatorOf(platform::kNativePathStyle);
  return platform::CollapseBackslashes(
      folder + separator + platform::StripExtension(platform::FileNameOf(source_path)) +
      QStringLiteral(".eml"));
}

QSet<QByteArray> FolderEntries(const QString& folder) {
  QSet<QByteArray> names;
  const QByteArray native = QFile::encodeName(folder);
  if (folder.isEmpty() || native.contains('\0')) return names;
  DIR* dir = ::opendir(native.constData());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) names.insert(QByteArray(entry->d_name));
  ::closedir(dir);
  return names;
}

QStringList NewResultNames(const QString& folder, const QSet<QByteArray>& before) {
  QStringList fresh;
  const QString base = WithTrailingSeparator(folder);
  for (const QByteArray& raw : FolderEntries(folder)) {
    if (before.contains(raw)) continue;
    // A name that does not survive decoding names no file we could move.
    const QString name = QFile::decodeName(raw);
    if (QFile::encodeName(name) != raw) continue;
    if (!intake::MatchesWildcard(name, QStringLiteral("*.eml"))) continue;
    if (!intake::IsExistingFile(base + name)) continue;
    fresh.append(name);
  }
  return fresh;
}

void MoveResultInPlace(const QString& from, const QString& to) {
  const QByteArray native_from = QFile::encodeName(from);
  const QByteArray native_to = QFile::encodeName(to);
  if (from.isEmpty() || to.isEmpty() || native_from.contains('\0') || native_to.contains('\0')) {
    FailWithErrno(QStringLiteral("Cannot move the result to ") + to, ENOENT);
  }
  // rename replaces the target in one step: until the new file is in place the
  // old one stays, so a failed move loses nothing.
  if (::rename(native_from.constData(), native_to.constData()) == 0) return;
  if (errno != EXDEV) FailWithErrno(QStringLiteral("Cannot move the result to ") + to, errno);
  CopyAcrossFileSystems(native_from, to);
}

void RunBatchConversion(BatchHost& host, ToolRunner& runner, bool& conversion_busy,
                        const BatchOptions& options) {
  // The run is the window's "Start Converting" handler and reports as such.
  platform::Guard guard(host.Dialogs(),
                        platform::ProcedureLocation("Quorvex", "Form1", "PushButton2_Click"));
  if (guard.ExitIf(100, [&] { return conversion_busy; })) return;
  guard.Step(102, [&] { conversion_busy = true; });
  BusyReset busy_reset(conversion_busy);

  if (guard.If(104, [&] { return host.ItemCount() == 0; })) {
    guard.Step(164, [&] { host.Dialogs().ShowMessage(QStringLiteral("No files added.")); });
    return;
  }
  // With Save Option 2 the working folder is not checked.
  if (guard.If(106, [&] {
        return !platform::IsFolder(host.WorkingFolder()) && !host.Option2Selected();
      })) {
    guard.Step(162, [&] {
      host.Dialogs().ShowMessage(
          QStringLiteral("Folder does not exist. Please select another folder."));
    });
    return;
  }

  guard.Step(108, [&] { host.SetHourglass(); });
  QByteArray image;
  guard.Step(110, [&] { image = host.ToolImage(); });
  QString tool_path;
  guard.Step(112, [&] {
    // Without an image (its load was reported at 110) there is nothing to run;
    // the items then fail one by one.
    if (image.isEmpty()) return;
    const QString folder =
        options.tool_folder.isEmpty() ? PrivateToolFolder() : options.tool_folder;
    tool_path = PlaceTool(image, folder, host.Pump());
  });
  image = QByteArray();

  int count = 0;
  guard.Step(114, [&] { count = host.ItemCount(); });
  for (int i = 1; i <= count; ++i) {
    QString source;
    guard.Step(116, [&] { source = host.ItemText(i); });
    guard.Step(118, [&] {
      const int now = host.ItemCount();
      if (now <= 0) throw platform::Failure("Division by zero");
      host.Bar().SetValue(static_cast<double>(i) / now * 100.0);
    });
    guard.Step(120, [&] {
      host.Bar().SetText(QStringLiteral("Processing: ") + platform::FileNameOf(source));
    });
    guard.Step(122, [&] { host.Pump().Yield(); });
    guard.Step(124, [&] { host.SetHourglass(); });

    // Option1 is tested first; with neither option selected the item goes to
    // the output folder, as under Option1.
    QString target;
    if (guard.If(126, [&] { return host.Option1Selected() || !host.Option2Selected(); })) {
      guard.Step(128, [&] {
        target = TargetPathFor(source, WithTrailingSeparator(host.WorkingFolder()));
      });
    } else {
      guard.Step(132, [&] {
        QString folder = platform::FolderOf(source);
        // A bare file name lives in the current folder, not in the root.
        if (folder.isEmpty()) {
          folder = QStringLiteral(".") + platform::SeparatorOf(platform::kNativePathStyle);
        }
        target = TargetPathFor(source, folder);
      });
    }

    QString working;
    QStringList arguments;
    QSet<QByteArray> before;
    guard.Step(136, [&] {
      working = WithTrailingSeparator(host.WorkingFolder());
      arguments = QStringList{source, working};
      // What is there before the tool runs, to tell its result apart. An empty
      // folder text names no folder (not the current one).
      if (!working.isEmpty()) before = FolderEntries(working);
    });
    guard.Step(138, [&] {
      ProgressSink& bar = host.Bar();
      runner.RunAndWait(tool_path, arguments, &bar, bar.Text(), RoundHalfToEven(bar.Value()),
                        host.ItemCount());
    });
    QStringList fresh;
    guard.Step(140, [&] {
      if (!working.isEmpty()) fresh = NewResultNames(working, before);
    });
    // Exactly one new .eml is a result. None is a failed conversion; more than
    // one cannot be told apart from attachments a failed run left behind, so
    // nothing is moved and the item counts as failed.
    if (fresh.size() == 1) {
      guard.Step(146, [&] {
        const QString result = working + fresh.front();
        try {
          MoveResultInPlace(result, target);
        } catch (const platform::Failure& failure) {
          const QString kept = working + platform::FileNameOf(target);
          throw platform::Failure((QString::fromUtf8(failure.what()) + QStringLiteral(". ") +
                                   KeepResultAfterFailedMove(result, kept))
                                      .toStdString());
        }
      });
    } else {
      guard.Step(148, [&] {
        host.Dialogs().ShowMessage(QStringLiteral("Failed to convert: ") + source);
      });
    }
  }

  guard.Step(152, [&] {
    if (!tool_path.isEmpty()) platform::RemoveFile(tool_path, host.Pump());
  });
  guard.Step(154, [&] { host.SetDefaultPointer(); });
  guard.Step(156, [&] { host.Bar().SetValue(0); });
  guard.Step(158, [&] { host.Bar().SetText(QStringLiteral("Progress Bar")); });
  guard.Step(160, [&] { host.Dialogs().ShowMessage(QStringLiteral("Done.")); });
}

}  // namespace conversion
