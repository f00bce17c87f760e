#include "intake/folder_scan.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/unprivileged.h"

namespace {

void Touch(const QString& path) {
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
  file.write("x");
}

}  // namespace

class FolderScanTest : public QObject {
  Q_OBJECT

 private slots:
  void matchesWildcard_data();
  void matchesWildcard();
  void listsMatchingFilesOnly();
  void listingSkipsNamesTheCodePageCannotWrite();
  void listingWithAndWithoutTrailingSlashAgree();
  void listingOfMissingFolderIsEmpty();
  void listingKeepsEveryNameOfALargeFolder();
  void isExistingFile_data();
  void isExistingFile();
  void hasBadNameChars_data();
  void hasBadNameChars();
  void fileAttributes_data();
  void fileAttributes();
  void readOnlyAttributeFollowsTheUser();
};

void FolderScanTest::matchesWildcard_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("pattern");
  QTest::addColumn<bool>("matches");
  QTest::newRow("extension ignores case") << "A.EML" << "*.eml" << true;
  QTest::newRow("pattern case ignored") << "a.msg" << "*.MSG" << true;
  QTest::newRow("non-ascii case folded") << QString::fromUtf8("Ärger.MSG") << QString::fromUtf8("ä*.msg") << true;
  QTest::newRow("star-dot-star takes names without dot") << "README" << "*.*" << true;
  QTest::newRow("star-dot-star takes dot-files") << ".hidden" << "*.*" << true;
  QTest::newRow("prefix dot-star takes bare name") << "a" << "a.*" << true;
  QTest::newRow("longer extension is not the extension") << "a.msgx" << "*.msg" << false;
  QTest::newRow("extension is the last one") << "a.msg.txt" << "*.msg" << false;
  QTest::newRow("several dots") << "a.b.msg" << "*.msg" << true;
  QTest::newRow("bare name against extension") << "msg" << "*.msg" << false;
  QTest::newRow("question mark is one character") << "ab" << "a?" << true;
  QTest::newRow("question mark needs a character") << "a" << "a?" << false;
  QTest::newRow("typed leading dot gives two dots") << "a..msg" << "*..msg" << true;
  QTest::newRow("two dots not matched by one") << "a.msg" << "*..msg" << false;
  QTest::newRow("backtracking star") << "aXbXc.msg" << "a*b*c.msg" << true;
  QTest::newRow("star alone") << "anything" << "*" << true;
}

void FolderScanTest::matchesWildcard() {
  QFETCH(QString, name);
  QFETCH(QString, pattern);
  QFETCH(bool, matches);
  QCOMPARE(intake::MatchesWildcard(name, pattern), matches);
}

void FolderScanTest::listsMatchingFilesOnly() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString base = dir.path() + u'/';
  Touch(base + "b.msg");
  Touch(base + "A.MSG");
  Touch(base + ".hidden.msg");
  Touch(base + "~tmp.msg");
  Touch(base + "notes.txt");
  QVERIFY(QDir(base).mkdir("folder.msg"));
  QVERIFY(QFile::link(base + "b.msg", base + "link.msg"));
  QVERIFY(QFile::link(base + "nowhere", base + "dangling.msg"));
  QVERIFY(QFile::link(base + "folder.msg", base + "dirlink.msg"));
  QVERIFY(::mkfifo(QFile::encodeName(base + "pipe.msg").constData(), 0600) == 0);

  // Folders, links to folders, dangling links and pipes never appear; hidden files
  // and "~" files do (callers filter those); sorted case-insensitively.
  const QStringList expected{".hidden.msg", "A.MSG", "b.msg", "link.msg", "~tmp.msg"};
  QCOMPARE(intake::ListFolderFiles(dir.path(), "*.msg"), expected);
  QCOMPARE(intake::ListFolderFiles(dir.path(), "*.*").size(), expected.size() + 1);
  QCOMPARE(intake::ListFolderFiles(dir.path(), "*.eml"), QStringList());
}

void FolderScanTest::listingSkipsNamesTheCodePageCannotWrite() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QByteArray base = QFile::encodeName(dir.path()) + '/';
  for (const QByteArray& name : {QByteArray("bad\xff.msg"), QByteArray("good.msg"),
                                QByteArray("caf\xc3\xa9.msg")}) {
    const int fd = ::open((base + name).constData(), O_CREAT | O_WRONLY, 0644);
    QVERIFY(fd >= 0);
    ::close(fd);
  }
  const QStringList names = intake::ListFolderFiles(dir.path(), "*.msg");
  // QTemporaryDir cannot name the undecodable file, so it goes here.
  ::unlink((base + "bad\xff.msg").constData());
  QCOMPARE(names, (QStringList{QString::fromUtf8("café.msg"), "good.msg"}));
}

void FolderScanTest::listingWithAndWithoutTrailingSlashAgree() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  Touch(dir.path() + "/x.msg");
  Touch(dir.path() + "/y.msg");
  const QStringList without = intake::ListFolderFiles(dir.path(), "*.msg");
  QCOMPARE(without, (QStringList{"x.msg", "y.msg"}));
  QCOMPARE(intake::ListFolderFiles(dir.path() + u'/', "*.msg"), without);
}

void FolderScanTest::listingOfMissingFolderIsEmpty() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  QVERIFY(intake::ListFolderFiles(dir.path() + "/missing", "*.*").isEmpty());
  Touch(dir.path() + "/plain");
  QVERIFY(intake::ListFolderFiles(dir.path() + "/plain", "*.*").isEmpty());
}

void FolderScanTest::listingKeepsEveryNameOfALargeFolder() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  QStringList expected;
  for (int i = 0; i < 101; ++i) {
    const QString name = QStringLiteral("m%1.msg").arg(i, 3, 10, QChar(u'0'));
    Touch(dir.path() + u'/' + name);
    expected.push_back(name);
  }
  QCOMPARE(intake::ListFolderFiles(dir.path(), "*.msg"), expected);
}

void FolderScanTest::isExistingFile_data() {
  QTest::addColumn<QString>("relative");
  QTest::addColumn<bool>("exists");
  QTest::newRow("plain file") << "file.msg" << true;
  QTest::newRow("hidden file") << ".dot" << true;
  QTest::newRow("link to file") << "link" << true;
  QTest::newRow("folder") << "sub" << false;
  QTest::newRow("folder with slash") << "sub/" << false;
  QTest::newRow("missing") << "missing.msg" << false;
  QTest::newRow("dangling link") << "dangling" << false;
  QTest::newRow("pipe") << "pipe" << false;
  QTest::newRow("embedded nul") << QStringLiteral("file.msg") + QChar(u'\0') + "x" << false;
  QTest::newRow("unpaired surrogate") << QStringLiteral("file") + QChar(0xD800) << false;
  QTest::newRow("longer than the path limit") << QString(intake::kMaxPathLength, u'a') << false;
}

void FolderScanTest::isExistingFile() {
  QFETCH(QString, relative);
  QFETCH(bool, exists);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString base = dir.path() + u'/';
  Touch(base + "file.msg");
  Touch(base + ".dot");
  QVERIFY(QDir(base).mkdir("sub"));
  QVERIFY(QFile::link(base + "file.msg", base + "link"));
  QVERIFY(QFile::link(base + "gone", base + "dangling"));
  QVERIFY(::mkfifo(QFile::encodeName(base + "pipe").constData(), 0600) == 0);
  QCOMPARE(intake::IsExistingFile(base + relative), exists);
}

void FolderScanTest::hasBadNameChars_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("bad");
  QTest::newRow("empty") << "" << false;
  QTest::newRow("plain") << "Inbox 2021" << false;
  QTest::newRow("accented") << QString::fromUtf8("Réunions") << false;
  QTest::newRow("outside BMP") << QString::fromUtf8("mail \xF0\x9F\x93\xA7") << false;
  QTest::newRow("euro sign") << QString::fromUtf8("€ invoices") << false;
  QTest::newRow("question mark") << "why?" << true;
  QTest::newRow("tab") << "a\tb" << true;
  QTest::newRow("newline") << "a\nb" << true;
  QTest::newRow("DEL") << QStringLiteral("a") + QChar(127) << true;
  QTest::newRow("C1 control") << QStringLiteral("a") + QChar(0x85) << true;
  QTest::newRow("last C1 control") << QStringLiteral("a") + QChar(159) << true;
  QTest::newRow("first after C1") << QStringLiteral("a") + QChar(160) << false;
  QTest::newRow("unpaired high surrogate") << QStringLiteral("a") + QChar(0xD83D) << true;
  QTest::newRow("unpaired low surrogate") << QChar(0xDC00) + QStringLiteral("a") << true;
}

void FolderScanTest::hasBadNameChars() {
  QFETCH(QString, name);
  QFETCH(bool, bad);
  QCOMPARE(intake::HasBadNameChars(name), bad);
}

void FolderScanTest::fileAttributes_data() {
  QTest::addColumn<QString>("relative");
  QTest::addColumn<int>("attributes");  // -1: cannot be examined
  QTest::newRow("regular file is archive") << "file.msg" << 32;
  QTest::newRow("dot-file is hidden + archive") << ".dot.msg" << 34;
  QTest::newRow("folder") << "sub" << 16;
  QTest::newRow("dot-folder") << ".cache" << 18;
  QTest::newRow("link to file") << "flink" << 1024 + 32;
  QTest::newRow("link to folder") << "dlink" << 1024 + 16;
  QTest::newRow("hidden link to file") << ".hlink" << 1024 + 32 + 2;
  QTest::newRow("dangling link") << "dangling" << -1;
  QTest::newRow("missing") << "missing" << -1;
}

void FolderScanTest::fileAttributes() {
  QFETCH(QString, relative);
  QFETCH(int, attributes);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString base = dir.path() + u'/';
  Touch(base + "file.msg");
  Touch(base + ".dot.msg");
  QVERIFY(QDir(base).mkdir("sub"));
  QVERIFY(QDir(base).mkdir(".cache"));
  QVERIFY(QFile::link(base + "file.msg", base + "flink"));
  QVERIFY(QFile::link(base + "file.msg", base + ".hlink"));
  QVERIFY(QFile::link(base + "sub", base + "dlink"));
  QVERIFY(QFile::link(base + "gone", base + "dangling"));
  QCOMPARE(intake::FileAttributes(base + relative).value_or(-1), attributes);
}

void FolderScanTest::readOnlyAttributeFollowsTheUser() {
  RUN_AS_UNPRIVILEGED_USER();
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString base = dir.path() + u'/';
  Touch(base + "locked.msg");
  Touch(base + ".locked");
  QVERIFY(QFile::setPermissions(base + "locked.msg", QFile::ReadOwner));
  QVERIFY(QFile::setPermissions(base + ".locked", QFile::ReadOwner));
  QCOMPARE(intake::FileAttributes(base + "locked.msg").value_or(-1), 33);
  // A read-only dot-file is 35, not 34: the list handlers take it.
  QCOMPARE(intake::FileAttributes(base + ".locked").value_or(-1), 35);
}

QTEST_GUILESS_MAIN(FolderScanTest)
#include "folder_scan_test.moc"
