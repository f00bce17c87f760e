#include "intake/subdirectories.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "intake/folder_picker.h"
#include "platform/error_report.h"
#include "tests/support/unprivileged.h"
#include "tests/support/scripted_dialogs.h"

using testing_support::ScriptedDialogs;
using testing_support::ScriptedPump;

namespace {

void MakeFolders(const QString& base, const QStringList& relative) {
  for (const QString& r : relative) QVERIFY2(QDir().mkpath(base + u'/' + r), qPrintable(r));
}

QStringList Walk(QStringList folders, bool recurse, ScriptedDialogs& dialogs, ScriptedPump& pump) {
  intake::GetSubDirectories2016(folders, recurse, dialogs, pump);
  return folders;
}

}  // namespace

class SubDirectoriesTest : public QObject {
  Q_OBJECT

 private slots:
  void walksBreadthFirst();
  void startFolderWithoutSubfoldersStaysAlone();
  void withoutRecursionOnlyFirstLevel();
  void hiddenFoldersAreWalked();
  void skipsBadNamesWithEverythingBelow();
  void links_data();
  void links();
  void unreadableFolderLeavesTheSet();
  void folderVanishingDuringYieldIsReportedAndDropped();
  void folderQualifies_data();
  void folderQualifies();
  void browseForFolder_data();
  void browseForFolder();
};

void SubDirectoriesTest::walksBreadthFirst() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString data = dir.path() + "/data/";
  MakeFolders(dir.path(), {"data/b", "data/a/a1", "data/B2/deep/deeper"});
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  const QStringList result = Walk({data}, true, dialogs, pump);
  QCOMPARE(result, (QStringList{data, data + "a/", data + "b/", data + "B2/", data + "a/a1/",
                                data + "B2/deep/", data + "B2/deep/deeper/"}));
  QVERIFY(dialogs.messages.empty());
  // One yield per lookup, per subfolder met and per entry appended.
  QCOMPARE(pump.yields, 7 + 6 + 6);
}

void SubDirectoriesTest::startFolderWithoutSubfoldersStaysAlone() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  QFile file(dir.path() + "/only-a-file.msg");
  QVERIFY(file.open(QIODevice::WriteOnly));
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  QCOMPARE(Walk({dir.path() + u'/'}, true, dialogs, pump), QStringList{dir.path() + u'/'});
}

void SubDirectoriesTest::withoutRecursionOnlyFirstLevel() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  MakeFolders(dir.path(), {"x/y/z"});
  const QString base = dir.path() + u'/';
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  QCOMPARE(Walk({base}, false, dialogs, pump), (QStringList{base, base + "x/"}));
}

void SubDirectoriesTest::hiddenFoldersAreWalked() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  MakeFolders(dir.path(), {".hidden/inner"});
  const QString base = dir.path() + u'/';
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  QCOMPARE(Walk({base}, true, dialogs, pump),
           (QStringList{base, base + ".hidden/", base + ".hidden/inner/"}));
}

void SubDirectoriesTest::skipsBadNamesWithEverythingBelow() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  MakeFolders(dir.path(), {"why?/below", "tab\there/below", QString::fromUtf8("café/ok")});
  const QByteArray raw = QFile::encodeName(dir.path()) + "/bad\xfe";
  QVERIFY(::mkdir(raw.constData(), 0755) == 0);
  QVERIFY(::mkdir((raw + "/below").constData(), 0755) == 0);
  const QString base = dir.path() + u'/';
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  const QString cafe = base + QString::fromUtf8("café/");
  const QStringList result = Walk({base}, true, dialogs, pump);
  // QTemporaryDir cannot name the undecodable folder, so it goes here.
  ::rmdir((raw + "/below").constData());
  ::rmdir(raw.constData());
  QCOMPARE(result, (QStringList{base, cafe, cafe + "ok/"}));
}

// One tree for every row: top/{a/a1, b, sub1/s} and outside/o1, with links
// top/link-to-sub1 -> sub1, top/sub1/loop -> .., top/a/a1/back-to-top -> top,
// top/b/alias-of-a -> top/a, top/b/elsewhere -> outside and
// outside/o1/back-in -> top/b. Paths are relative to the tree's folder.
void SubDirectoriesTest::links_data() {
  QTest::addColumn<QStringList>("starts");
  QTest::addColumn<QStringList>("expected");
  const QStringList below_top = {"top/a/",   "top/b/",           "top/sub1/",
                                 "top/a/a1/", "top/b/elsewhere/", "top/sub1/s/",
                                 "top/b/elsewhere/o1/"};
  QTest::newRow("folders inside under their real paths, loops skipped, links elsewhere followed")
      << QStringList{"top/"} << QStringList{"top/"} + below_top;
  QTest::newRow("start given twice is listed once but stays twice")
      << QStringList{"top/", "top/"} << QStringList{"top/", "top/"} + below_top;
  QTest::newRow("link up to an ancestor of the start")
      << QStringList{"top/sub1/"} << QStringList{"top/sub1/", "top/sub1/s/"};
  QTest::newRow("start reached through a link keeps its path")
      << QStringList{"top/link-to-sub1/"} << QStringList{"top/link-to-sub1/", "top/link-to-sub1/s/"};
}

void SubDirectoriesTest::links() {
  QFETCH(QStringList, starts);
  QFETCH(QStringList, expected);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString base = dir.path() + u'/';
  MakeFolders(dir.path(), {"top/a/a1", "top/b", "top/sub1/s", "outside/o1"});
  const auto link = [&](const char* target, const QString& name) {
    QVERIFY2(::symlink(target, QFile::encodeName(base + name).constData()) == 0, qPrintable(name));
  };
  const QByteArray top = QFile::encodeName(base + "top");
  link("sub1", "top/link-to-sub1");
  link("..", "top/sub1/loop");
  link(top.constData(), "top/a/a1/back-to-top");
  link((top + "/a").constData(), "top/b/alias-of-a");
  link(QFile::encodeName(base + "outside").constData(), "top/b/elsewhere");
  link((top + "/b").constData(), "outside/o1/back-in");
  for (QString& start : starts) start.prepend(base);
  for (QString& folder : expected) folder.prepend(base);
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  QCOMPARE(Walk(starts, true, dialogs, pump), expected);
  QVERIFY(dialogs.messages.empty());
}

void SubDirectoriesTest::unreadableFolderLeavesTheSet() {
  RUN_AS_UNPRIVILEGED_USER();
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  MakeFolders(dir.path(), {"one/locked/inside", "one/open/x", "two/sub", "three/t"});
  const QString base = dir.path() + u'/';
  QVERIFY(::chmod(QFile::encodeName(base + "one/locked").constData(), 0) == 0);
  QVERIFY(::chmod(QFile::encodeName(base + "three").constData(), 0) == 0);
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  const QStringList result =
      Walk({base + "one/", base + "two/", base + "three/"}, true, dialogs, pump);
  ::chmod(QFile::encodeName(base + "one/locked").constData(), 0755);
  ::chmod(QFile::encodeName(base + "three").constData(), 0755);
  // Both unreadable folders leave: the start entry "three/" and "one/locked/" found
  // below; the walk goes on after each, without a message.
  QCOMPARE(result, (QStringList{base + "one/", base + "two/", base + "one/open/",
                                base + "two/sub/", base + "one/open/x/"}));
  QVERIFY(dialogs.messages.empty());
}

void SubDirectoriesTest::folderVanishingDuringYieldIsReportedAndDropped() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  MakeFolders(dir.path(), {"keep/k", "gone/g"});
  const QString base = dir.path() + u'/';
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  // The first yield follows the lookup of the first start entry: another handler
  // removes that folder meanwhile.
  pump.actions[1] = [&] { QVERIFY(QDir(base + "gone").removeRecursively()); };
  const QStringList result = Walk({base + "gone/", base + "keep/"}, true, dialogs, pump);
  QCOMPARE(result, (QStringList{base + "keep/", base + "keep/k/"}));
  QCOMPARE(dialogs.messages.size(), size_t(1));
  QCOMPARE(dialogs.messages[0].title, QStringLiteral("Application Error"));
  QCOMPARE(dialogs.messages[0].text,
           platform::ErrorReportText(
               "Path not found", "in Brannock2021/08/31.AddFolder.GetSubDirectories2016 ", 116));
}

void SubDirectoriesTest::folderQualifies_data() {
  QTest::addColumn<int>("attributes");
  QTest::addColumn<bool>("root");
  QTest::addColumn<bool>("qualifies");
  QTest::newRow("plain folder") << 16 << false << true;
  QTest::newRow("hidden folder") << 18 << false << true;
  QTest::newRow("hidden system folder") << 22 << false << false;
  QTest::newRow("hidden system junction") << 1046 << false << false;
  QTest::newRow("hidden system archive folder") << 54 << false << true;
  QTest::newRow("linked folder") << 1040 << false << true;
  QTest::newRow("root whatever its value") << 22 << true << true;
}

void SubDirectoriesTest::folderQualifies() {
  QFETCH(int, attributes);
  QFETCH(bool, root);
  QFETCH(bool, qualifies);
  QCOMPARE(intake::FolderQualifies(attributes, root), qualifies);
}

void SubDirectoriesTest::browseForFolder_data() {
  QTest::addColumn<QString>("answer");
  QTest::addColumn<QString>("result");
  QTest::newRow("cancel") << "" << "";
  QTest::newRow("plain") << "/home/u/Mail" << "/home/u/Mail";
  QTest::newRow("trailing separator dropped") << "/home/u/Mail/" << "/home/u/Mail";
  QTest::newRow("root keeps its own") << "/" << "/";
  QTest::newRow("cut at NUL") << QStringLiteral("/a") + QChar(u'\0') + "junk" << "/a";
}

void SubDirectoriesTest::browseForFolder() {
  QFETCH(QString, answer);
  QFETCH(QString, result);
  ScriptedDialogs dialogs;
  dialogs.folder_answers.enqueue(answer);
  QCOMPARE(intake::BrowseForFolder(dialogs, "Please select folder:", "/start"), result);
  QCOMPARE(dialogs.folder_requests.size(), size_t(1));
  QCOMPARE(dialogs.folder_requests[0].title, QStringLiteral("Please select folder:"));
  QCOMPARE(dialogs.folder_requests[0].arg, QStringLiteral("/start"));
}

QTEST_GUILESS_MAIN(SubDirectoriesTest)
#include "subdirectories_test.moc"
