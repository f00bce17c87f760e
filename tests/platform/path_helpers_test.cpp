#include "platform/path_helpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/error_report.h"
#include "tests/support/scripted_dialogs.h"

using platform::PathStyle;
Q_DECLARE_METATYPE(platform::PathStyle)

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<unreadable>";
  return file.readAll();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

mode_t ModeOf(const QString& path) {
  struct stat info;
  if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return 0;
  return info.st_mode & 07777;
}

}  // namespace

class PathHelpersTest : public QObject {
  Q_OBJECT

 private slots:
  void CollapseBackslashes_data() {
    QTest::addColumn<PathStyle>("style");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    const auto w = PathStyle::kWindows;
    const auto p = PathStyle::kPosix;
    QTest::newRow("win doubled inside share") << w << R"(\\srv\share\\a.eml)" << R"(\\srv\share\a.eml)";
    QTest::newRow("win three leading") << w << R"(\\\srv\a)" << R"(\\srv\a)";
    QTest::newRow("win one leading becomes prefix") << w << R"(\srv\a)" << R"(\\srv\a)";
    QTest::newRow("win four leading") << w << R"(\\\\srv\x)" << R"(\\srv\x)";
    QTest::newRow("win short leading") << w << R"(\a)" << R"(\\a)";
    QTest::newRow("win drive doubled") << w << R"(C:\Out\\a.eml)" << R"(C:\Out\a.eml)";
    QTest::newRow("win clean") << w << R"(C:\Out\a.eml)" << R"(C:\Out\a.eml)";
    QTest::newRow("win run of three is one pass") << w << R"(C:\a\\\b)" << R"(C:\a\\b)";
    QTest::newRow("win run of four") << w << R"(C:\a\\\\b)" << R"(C:\a\\b)";
    QTest::newRow("win trailing pair") << w << R"(C:\a\\)" << R"(C:\a\)";
    QTest::newRow("win empty") << w << "" << "";
    QTest::newRow("win single separator") << w << R"(\)" << R"(\\)";
    QTest::newRow("win only separators") << w << R"(\\\\\)" << R"(\\)";
    QTest::newRow("win slash untouched") << w << "a//b" << "a//b";
    QTest::newRow("win joined output folder") << w << R"(D:\Out\\Report.final.eml)" << R"(D:\Out\Report.final.eml)";
    QTest::newRow("win joined source folder") << w << R"(C:\Mail\\Report.final.eml)" << R"(C:\Mail\Report.final.eml)";
    QTest::newRow("posix doubled") << p << "/a//b" << "/a/b";
    QTest::newRow("posix leading run is root") << p << "///a" << "/a";
    QTest::newRow("posix two leading") << p << "//a//b" << "/a/b";
    QTest::newRow("posix run of three") << p << "a///b" << "a//b";
    QTest::newRow("posix run of four") << p << "a////b" << "a//b";
    QTest::newRow("posix root") << p << "/" << "/";
    QTest::newRow("posix only separators") << p << "////" << "/";
    QTest::newRow("posix empty") << p << "" << "";
    QTest::newRow("posix relative clean") << p << "out/x.eml" << "out/x.eml";
    QTest::newRow("posix backslash untouched") << p << R"(/a\\b)" << R"(/a\\b)";
    QTest::newRow("posix joined output folder") << p << "/out//x.eml" << "/out/x.eml";
  }
  void CollapseBackslashes() {
    QFETCH(PathStyle, style);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(platform::CollapseBackslashes(path, style), expected);
  }

  void SplitPath_data() {
    QTest::addColumn<PathStyle>("style");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    const auto w = PathStyle::kWindows;
    const auto p = PathStyle::kPosix;
    QTest::newRow("win drive") << w << R"(C:\Mail\a.msg)" << R"(C:\Mail\)" << "a.msg";
    QTest::newRow("win share") << w << R"(\\srv\share\a.msg)" << R"(\\srv\share\)" << "a.msg";
    QTest::newRow("win bare name") << w << "a.msg" << "" << "a.msg";
    QTest::newRow("win trailing separator") << w << R"(C:\Mail\)" << R"(C:\Mail\)" << "";
    QTest::newRow("win slash is no separator") << w << "C:/Mail/a.msg" << "" << "C:/Mail/a.msg";
    QTest::newRow("win empty") << w << "" << "" << "";
    QTest::newRow("posix absolute") << p << "/home/u/a.msg" << "/home/u/" << "a.msg";
    QTest::newRow("posix root file") << p << "/a.msg" << "/" << "a.msg";
    QTest::newRow("posix bare name") << p << "a.msg" << "" << "a.msg";
    QTest::newRow("posix trailing separator") << p << "/home/u/" << "/home/u/" << "";
    QTest::newRow("posix backslash is no separator") << p << R"(/m/a\b.msg)" << "/m/" << R"(a\b.msg)";
  }
  void SplitPath() {
    QFETCH(PathStyle, style);
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QCOMPARE(platform::FolderOf(path, style), folder);
    QCOMPARE(platform::FileNameOf(path, style), name);
    QCOMPARE(platform::FolderOf(path, style) + platform::FileNameOf(path, style), path);
  }

  void StripExtension_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two dots") << "Report.final.msg" << "Report.final";
    QTest::newRow("one dot") << "a.msg" << "a";
    QTest::newRow("three parts") << "a.b.c" << "a.b";
    QTest::newRow("no dot") << "abc" << "abc";
    QTest::newRow("only leading dot") << ".msg" << ".msg";
    QTest::newRow("dot in second place") << "a." << "a";
    QTest::newRow("leading and inner dot") << ".a.b" << ".a";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("single dot") << "." << ".";
  }
  void StripExtension() {
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(platform::StripExtension(name), expected);
  }

  void ExistsAndFolderTests() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath("a.msg");
    QVERIFY(WriteFile(file, "x"));
    const QString dangling = dir.filePath("dangling");
    QVERIFY(QFile::link(dir.filePath("nowhere"), dangling));

    struct Case { QString path; bool exists; bool folder; };
    const Case cases[] = {
        {file, true, false},
        {dir.path(), true, true},
        {dir.path() + "/", true, true},
        {"/", true, true},
        {dir.filePath("missing"), false, false},
        {file + "/", false, false},
        {dangling, false, false},
        {"", false, false},
        {QString("a") + QChar(0) + "b", false, false},
    };
    for (const Case& c : cases) {
      QCOMPARE(platform::PathExists(c.path), c.exists);
      QCOMPARE(platform::IsFolder(c.path), c.folder);
    }
  }

  void RemoveFileDeletesPlainAndReadOnlyFiles_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("writable") << 0644;
    QTest::newRow("read-only") << 0444;
    QTest::newRow("no access") << 0000;
  }
  void RemoveFileDeletesPlainAndReadOnlyFiles() {
    QFETCH(int, mode);
    QTemporaryDir dir;
    const QString file = dir.filePath("t.eml");
    QVERIFY(WriteFile(file, "old"));
    QVERIFY(::chmod(QFile::encodeName(file).constData(), mode) == 0);
    testing_support::ScriptedPump pump;
    platform::RemoveFile(file, pump);
    QVERIFY(!QFileInfo::exists(file));
    QCOMPARE(pump.yields, 1);
  }

  void RemoveFileIsQuietAboutWhatItCannotDelete() {
    QTemporaryDir dir;
    testing_support::ScriptedPump pump;
    platform::RemoveFile(dir.filePath("missing"), pump);
    platform::RemoveFile("", pump);
    const QString folder = dir.filePath("sub");
    QVERIFY(QDir().mkdir(folder));
    platform::RemoveFile(folder, pump);
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(pump.yields, 3);
  }

  void RemoveFileRemovesLinkNotTarget() {
    QTemporaryDir dir;
    const QString target = dir.filePath("target");
    QVERIFY(WriteFile(target, "keep"));
    QVERIFY(::chmod(QFile::encodeName(target).constData(), 0444) == 0);
    const QString link = dir.filePath("link.eml");
    QVERIFY(QFile::link(target, link));
    testing_support::ScriptedPump pump;
    platform::RemoveFile(link, pump);
    QVERIFY(!QFileInfo(link).isSymLink());
    QCOMPARE(ReadAll(target), QByteArray("keep"));
    QCOMPARE(ModeOf(target), mode_t(0444));
  }

  void ForceDeleteFileFailsWithDescription() {
    QTemporaryDir dir;
    try {
      platform::ForceDeleteFile(dir.filePath("missing"));
      QFAIL("no failure for a missing file");
    } catch (const platform::Failure& failure) {
      QVERIFY(QString::fromUtf8(failure.what()).contains("No such file"));
    }
  }

  void ForceDeleteFileFailsInReadOnlyFolder() {
    if (::geteuid() == 0) QSKIP("root ignores folder permissions");
    QTemporaryDir dir;
    const QString folder = dir.filePath("locked");
    QVERIFY(QDir().mkdir(folder));
    const QString file = folder + "/a";
    QVERIFY(WriteFile(file, "x"));
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
    QVERIFY_THROWS_EXCEPTION(platform::Failure, platform::ForceDeleteFile(file));
    testing_support::ScriptedPump pump;
    platform::RemoveFile(file, pump);  // quiet
    QVERIFY(QFileInfo::exists(file));
    ::chmod(QFile::encodeName(folder).constData(), 0755);
  }
};

QTEST_GUILESS_MAIN(PathHelpersTest)
#include "path_helpers_test.moc"
