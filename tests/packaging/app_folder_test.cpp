// The application folder is where the real program file lives, however the
// program was started: the package puts links to it on the PATH, and the files
// beside the program (Samples, HAND-M.CUR, x/o.cjs) are only in the real folder.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <cstring>

#include "face_qt/app_folder.h"

namespace {
constexpr char kPrintFlag[] = "--print-application-folder";

QString Canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }
}  // namespace

class AppFolderTest : public QObject {
  Q_OBJECT

 private slots:
  void program_folder_of_data() {
    // Each row lays out links in a temporary root holding usr/lib/mailvane/mailvane,
    // then names the path the program was started by; all are relative to the root.
    QTest::addColumn<QStringList>("links");  // "link=target" pairs, created in order
    QTest::addColumn<QString>("started_as");
    QTest::addColumn<QString>("expected_folder");
    QTest::newRow("the program itself") << QStringList{} << "usr/lib/mailvane/mailvane" << "usr/lib/mailvane";
    QTest::newRow("relative link on the PATH")
        << QStringList{"usr/bin/mailvane=../lib/mailvane/mailvane"} << "usr/bin/mailvane" << "usr/lib/mailvane";
    QTest::newRow("absolute link on the PATH")
        << QStringList{"usr/bin/mailvane=@/usr/lib/mailvane/mailvane"} << "usr/bin/mailvane" << "usr/lib/mailvane";
    QTest::newRow("link to a link")
        << QStringList{"usr/bin/mailvane=../lib/mailvane/mailvane", "usr/local/bin/mv=../../bin/mailvane"}
        << "usr/local/bin/mv" << "usr/lib/mailvane";
    QTest::newRow("linked folder holding the program")
        << QStringList{"home/ann/mailvane=@/usr/lib/mailvane"} << "home/ann/mailvane/mailvane" << "usr/lib/mailvane";
    QTest::newRow("dangling link keeps its own folder")
        << QStringList{"usr/bin/mailvane=../lib/gone/mailvane"} << "usr/bin/mailvane" << "usr/bin";
  }

  void program_folder_of() {
    QFETCH(QStringList, links);
    QFETCH(QString, started_as);
    QFETCH(QString, expected_folder);
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString root = Canonical(temp.path());
    QVERIFY(QDir(root).mkpath("usr/lib/mailvane"));
    QFile program(root + "/usr/lib/mailvane/mailvane");
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.close();
    for (const QString& pair : links) {
      const QString link = root + '/' + pair.section('=', 0, 0);
      QString target = pair.section('=', 1);
      if (target.startsWith('@')) target = root + target.mid(1);
      QVERIFY(QDir().mkpath(QFileInfo(link).path()));
      QVERIFY2(QFile::link(target, link), qPrintable(link));
    }
    QCOMPARE(ProgramFolderOf(root + '/' + started_as), root + '/' + expected_folder);
  }

  // The running program started through a link still finds its real folder.
  void application_folder_through_a_link() {
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString real = QCoreApplication::applicationFilePath();
    const QString link = temp.filePath("linked-test");
    QVERIFY(QFile::link(real, link));
    QProcess child;
    child.start(link, {QString::fromLatin1(kPrintFlag)});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    const QString printed = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
    QCOMPARE(printed, QDir::toNativeSeparators(QFileInfo(Canonical(real)).path()));
    QVERIFY(printed != QDir::toNativeSeparators(Canonical(temp.path())));
  }
};

int main(int argc, char** argv) {
  // The child half of application_folder_through_a_link.
  if (argc == 2 && std::strcmp(argv[1], kPrintFlag) == 0) {
    QCoreApplication app(argc, argv);
    std::printf("%s\n", ApplicationFolder().toLocal8Bit().constData());
    return 0;
  }
  QCoreApplication app(argc, argv);
  AppFolderTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "app_folder_test.moc"
