#include "conversion/tool_place.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/error_report.h"
#include "tests/support/scripted_dialogs.h"

namespace {

struct stat LStat(const QString& path) {
  struct stat info {};
  ::lstat(QFile::encodeName(path).constData(), &info);
  return info;
}

bool WriteFile(const QString& path, const QByteArray& bytes, mode_t mode = 0644) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return false;
  file.close();
  return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A private folder inside a temporary one.
QString MakeFolder(const QTemporaryDir& dir, const QString& name, mode_t mode) {
  const QString folder = dir.filePath(name);
  if (::mkdir(QFile::encodeName(folder).constData(), mode) != 0) return {};
  ::chmod(QFile::encodeName(folder).constData(), mode);
  return folder;
}

const QByteArray kImage("#!/bin/sh\nexit 0\n");

}  // namespace

class ToolPlaceTest : public QObject {
  Q_OBJECT

 private slots:
  void WritesFreshToolOwnerOnly() {
    QTemporaryDir dir;
    const QString folder = MakeFolder(dir, "private", 0700);
    testing_support::ScriptedPump pump;
    const QString path = conversion::PlaceTool(kImage, folder, pump);
    QCOMPARE(path, folder + "/quorvex");
    QCOMPARE(ReadAll(path), kImage);
    QCOMPARE(LStat(path).st_mode & 07777, mode_t(0700));
    QCOMPARE(pump.yields, 1);
    // No temporary file is left beside it.
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"quorvex"});
  }

  void ReusesIdenticalLeftover() {
    QTemporaryDir dir;
    const QString folder = MakeFolder(dir, "private", 0700);
    const QString path = folder + "/quorvex";
    QVERIFY(WriteFile(path, kImage, 0755));
    const ino_t inode = LStat(path).st_ino;
    testing_support::ScriptedPump pump;
    QCOMPARE(conversion::PlaceTool(kImage, folder, pump), path);
    QCOMPARE(LStat(path).st_ino, inode);
    QCOMPARE(LStat(path).st_mode & 07777, mode_t(0700));
  }

  void ReplacesDifferentFile_data() {
    QTest::addColumn<QByteArray>("planted");
    QTest::addColumn<int>("mode");
    QTest::newRow("other program") << QByteArray("#!/bin/sh\ntouch pwned\n") << 0755;
    QTest::newRow("same size other bytes") << QByteArray("#!/bin/sh\nexit 1\n") << 0700;
    QTest::newRow("longer with same start") << (kImage + "extra") << 0700;
    QTest::newRow("truncated copy") << kImage.left(5) << 0700;
    QTest::newRow("unreadable") << QByteArray("x") << 0000;
  }
  void ReplacesDifferentFile() {
    QFETCH(QByteArray, planted);
    QFETCH(int, mode);
    QTemporaryDir dir;
    const QString folder = MakeFolder(dir, "private", 0700);
    const QString path = folder + "/quorvex";
    QVERIFY(WriteFile(path, planted, mode_t(mode)));
    const ino_t inode = LStat(path).st_ino;
    testing_support::ScriptedPump pump;
    QCOMPARE(conversion::PlaceTool(kImage, folder, pump), path);
    QCOMPARE(ReadAll(path), kImage);
    QVERIFY(LStat(path).st_ino != inode);  // replaced by rename, not rewritten
    QCOMPARE(LStat(path).st_mode & 07777, mode_t(0700));
  }

  void RefusesLinkInPlace_data() {
    QTest::addColumn<bool>("dangling");
    QTest::newRow("link to a file") << false;
    QTest::newRow("dangling link") << true;
  }
  void RefusesLinkInPlace() {
    QFETCH(bool, dangling);
    QTemporaryDir dir;
    const QString folder = MakeFolder(dir, "private", 0700);
    const QString aimed_at = dir.filePath("elsewhere");
    if (!dangling) QVERIFY(WriteFile(aimed_at, "victim"));
    QVERIFY(QFile::link(aimed_at, folder + "/quorvex"));
    testing_support::ScriptedPump pump;
    QVERIFY_THROWS_EXCEPTION(platform::Failure, conversion::PlaceTool(kImage, folder, pump));
    QVERIFY(QFileInfo(folder + "/quorvex").isSymLink());
    if (dangling) {
      QVERIFY(!QFileInfo::exists(aimed_at));
    } else {
      QCOMPARE(ReadAll(aimed_at), QByteArray("victim"));
    }
  }

  void RefusesFolderThatIsNotPrivate() {
    QTemporaryDir dir;
    testing_support::ScriptedPump pump;
    const QString open_folder = MakeFolder(dir, "open", 0777);
    QVERIFY_THROWS_EXCEPTION(platform::Failure, conversion::PlaceTool(kImage, open_folder, pump));
    QVERIFY(!QFileInfo::exists(open_folder + "/quorvex"));
    const QString group_folder = MakeFolder(dir, "group", 0770);
    QVERIFY_THROWS_EXCEPTION(platform::Failure, conversion::PlaceTool(kImage, group_folder, pump));
    const QString real = MakeFolder(dir, "real", 0700);
    QVERIFY(QFile::link(real, dir.filePath("linked")));
    QVERIFY_THROWS_EXCEPTION(platform::Failure,
                             conversion::PlaceTool(kImage, dir.filePath("linked"), pump));
    QVERIFY(!QFileInfo::exists(real + "/quorvex"));
    QVERIFY_THROWS_EXCEPTION(platform::Failure,
                             conversion::PlaceTool(kImage, dir.filePath("missing"), pump));
  }

  void PrivateFolderUnderTemp() {
    QTemporaryDir dir;
    const QByteArray saved_runtime = qgetenv("XDG_RUNTIME_DIR");
    const bool had_runtime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    const QByteArray saved_tmp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    const QString expected = dir.filePath(QString("mailvane-%1").arg(::geteuid()));

    const QString folder = conversion::PrivateToolFolder();
    QCOMPARE(QDir(folder).canonicalPath(), QDir(expected).canonicalPath());
    QCOMPARE(LStat(expected).st_mode & 07777, mode_t(0700));
    QCOMPARE(conversion::PrivateToolFolder(), folder);  // an existing one is kept

    // Someone else's preparation is refused: a folder others may write to, a link.
    QVERIFY(::chmod(QFile::encodeName(expected).constData(), 0777) == 0);
    QVERIFY_THROWS_EXCEPTION(platform::Failure, conversion::PrivateToolFolder());
    QVERIFY(QDir(expected).removeRecursively());
    const QString decoy = MakeFolder(dir, "decoy", 0700);
    QVERIFY(QFile::link(decoy, expected));
    QVERIFY_THROWS_EXCEPTION(platform::Failure, conversion::PrivateToolFolder());

    if (had_runtime) qputenv("XDG_RUNTIME_DIR", saved_runtime);
    qputenv("TMPDIR", saved_tmp);
  }

  void PrivateFolderInRuntimeFolder() {
    QTemporaryDir dir;
    const QString runtime = MakeFolder(dir, "runtime", 0700);
    const QByteArray saved_runtime = qgetenv("XDG_RUNTIME_DIR");
    const bool had_runtime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    const QString folder = conversion::PrivateToolFolder();
    if (had_runtime) {
      qputenv("XDG_RUNTIME_DIR", saved_runtime);
    } else {
      qunsetenv("XDG_RUNTIME_DIR");
    }
    QCOMPARE(folder, runtime + "/mailvane");
    QCOMPARE(LStat(folder).st_mode & 07777, mode_t(0700));
  }
};

QTEST_GUILESS_MAIN(ToolPlaceTest)
#include "tool_place_test.moc"
