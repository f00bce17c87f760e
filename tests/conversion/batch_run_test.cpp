#include "conversion/batch_run.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/conversion/fake_batch_host.h"
#include "tests/support/unprivileged.h"

using namespace std::chrono_literals;

namespace {

struct ToolCall {
  QString program;
  QStringList arguments;
  QString text;
  int start_value;
  int total;
};

// The real runner with a short cycle, recording what it was asked to run.
class RecordingRunner : public conversion::ToolRunner {
 public:
  explicit RecordingRunner(platform::EventPump& pump) : real_(pump, 2ms) {}
  int RunAndWait(const QString& program, const QStringList& arguments,
                 conversion::ProgressSink* bar, const QString& text, int start_value,
                 int total) override {
    calls.push_back({program, arguments, text, start_value, total});
    return real_.RunAndWait(program, arguments, bar, text, start_value, total);
  }
  std::vector<ToolCall> calls;

 private:
  conversion::ProcessToolRunner real_;
};

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList Entries(const QString& folder) {
  QStringList names =
      QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  names.sort();
  return names;
}

// Working folder, tool folder and a source folder for one test.
struct Scene {
  Scene() {
    out = dir.filePath("out") + "/";
    tools = dir.filePath("tools");
    src = dir.filePath("src") + "/";
    QDir().mkpath(out);
    QDir().mkpath(src);
    QDir().mkpath(tools);
    ::chmod(QFile::encodeName(tools).constData(), 0700);
    host.working_folder = out;
    options.tool_folder = tools;
  }
  // Creates a source whose bytes name it, and lists it.
  QString AddSource(const QString& name, const QString& folder = {}) {
    const QString path = (folder.isEmpty() ? src : folder) + name;
    QDir().mkpath(QFileInfo(path).path());
    WriteFile(path, QFile::encodeName(path));
    host.items.append(path);
    return path;
  }
  void Run() { conversion::RunBatchConversion(host, runner, busy, options); }

  QTemporaryDir dir;
  QString out, tools, src;
  FakeBatchHost host;
  RecordingRunner runner{host.pump};
  bool busy = false;
  conversion::BatchOptions options;
};

QByteArray Converted(const QString& source) { return "converted:" + QFile::encodeName(source); }

}  // namespace

class BatchRunTest : public QObject {
  Q_OBJECT

 private slots:
  void TargetPath_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("option1 keeps inner dots") << "/mail/Report.final.msg" << "/out/" << "/out/Report.final.eml";
    QTest::newRow("option2 source folder") << "/mail/Report.final.msg" << "/mail/" << "/mail/Report.final.eml";
    QTest::newRow("name without dot") << "/mail/noext" << "/out/" << "/out/noext.eml";
    QTest::newRow("dot name stays whole") << "/mail/.msg" << "/out/" << "/out/.msg.eml";
    QTest::newRow("root folder") << "/a.msg" << "/" << "/a.eml";
  }
  void TargetPath() {
    QFETCH(QString, source);
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(conversion::TargetPathFor(source, folder), expected);
  }

  void NewResultNamesSinglesOutNewEmlFiles() {
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("old.eml"), "x"));
    const QSet<QByteArray> before = conversion::FolderEntries(dir.path());
    QVERIFY(before.contains("old.eml"));
    QVERIFY(WriteFile(dir.filePath("old.eml"), "rewritten"));  // not new
    QVERIFY(WriteFile(dir.filePath("New.EML"), "x"));
    QVERIFY(WriteFile(dir.filePath(".hidden.eml"), "x"));
    QVERIFY(WriteFile(dir.filePath("notes.txt"), "x"));
    QVERIFY(WriteFile(dir.filePath("a.eml.part"), "x"));
    QVERIFY(QDir().mkdir(dir.filePath("folder.eml")));
    QVERIFY(QFile::link(dir.filePath("missing"), dir.filePath("dangling.eml")));
    QStringList fresh = conversion::NewResultNames(dir.path(), before);
    fresh.sort();
    QCOMPARE(fresh, (QStringList{".hidden.eml", "New.EML"}));
    QVERIFY(conversion::NewResultNames(dir.filePath("missing"), {}).isEmpty());
  }

  void EmptyListWritesNothing() {
    Scene scene;
    scene.Run();
    QCOMPARE(scene.host.Messages(), QStringList{"No files added."});
    QVERIFY(Entries(scene.tools).isEmpty());
    QCOMPARE(scene.host.hourglass_calls, 0);
    QCOMPARE(scene.host.images_loaded, 0);
    QVERIFY(!scene.busy);
  }

  void MissingOutputFolderUnderOption1() {
    Scene scene;
    scene.AddSource("a.msg");
    scene.host.working_folder = scene.dir.filePath("missing/");
    scene.Run();
    QCOMPARE(scene.host.Messages(),
             QStringList{"Folder does not exist. Please select another folder."});
    QVERIFY(scene.runner.calls.empty());
    QVERIFY(Entries(scene.tools).isEmpty());
    QVERIFY(!scene.busy);
  }

  void MissingWorkingFolderUnderOption2FailsEachItem() {
    Scene scene;
    const QString a = scene.AddSource("a.msg");
    scene.host.working_folder = scene.dir.filePath("missing/");
    scene.host.option1 = false;
    scene.host.option2 = true;
    scene.Run();
    QCOMPARE(scene.host.Messages(), (QStringList{"Failed to convert: " + a, "Done."}));
    QVERIFY(!QFileInfo::exists(scene.src + "a.eml"));
  }

  void ConvertsEachItemAndReportsFailures() {
    Scene scene;
    const QString a = scene.AddSource("a.msg");
    const QString nothing = scene.AddSource("nothing.msg");
    const QString dotted = scene.AddSource("Report.final.msg");
    const QString crash = scene.AddSource("crash.msg");
    const QString noext = scene.AddSource("noext");
    const QString two = scene.AddSource("two.msg");
    scene.Run();

    QCOMPARE(scene.host.Messages(), (QStringList{"Failed to convert: " + nothing,
                                                 "Failed to convert: " + crash,
                                                 "Failed to convert: " + two, "Done."}));
    QCOMPARE(ReadAll(scene.out + "a.eml"), Converted(a));
    QCOMPARE(ReadAll(scene.out + "Report.final.eml"), Converted(dotted));
    QCOMPARE(ReadAll(scene.out + "noext.eml"), Converted(noext));
    // Two new files cannot be told apart: both stay where the tool left them.
    QStringList left = Entries(scene.out);
    left.removeAll("a.eml");
    left.removeAll("Report.final.eml");
    left.removeAll("noext.eml");
    QCOMPARE(left.size(), 2);
    QVERIFY(left[0].startsWith("r1-") && left[1].startsWith("r2-"));

    // The tool ran once per item with source and working folder as arguments,
    // from the private folder, which is empty again afterwards.
    QCOMPARE(int(scene.runner.calls.size()), 6);
    QCOMPARE(scene.runner.calls[0].program, scene.tools + "/quorvex");
    QCOMPARE(scene.runner.calls[0].arguments, (QStringList{a, scene.out}));
    QVERIFY(Entries(scene.tools).isEmpty());

    // Tear-down: bar reset, default pointer, flag clear.
    QCOMPARE(scene.host.bar.value, 0.0);
    QCOMPARE(scene.host.bar.text, QString("Progress Bar"));
    QVERIFY(!scene.host.hourglass);
    QCOMPARE(scene.host.hourglass_calls, 1 + 6);
    QVERIFY(!scene.busy);
  }

  void ProgressOfThreeItems() {
    Scene scene;
    scene.AddSource("a.msg");
    scene.AddSource("b.msg");
    scene.AddSource("c.msg");
    scene.Run();
    const std::vector<double> values = scene.host.bar.values;
    QCOMPARE(int(values.size()), 4);
    QCOMPARE(qRound(values[0]), 33);
    QCOMPARE(qRound(values[1]), 67);
    QCOMPARE(values[2], 100.0);
    QCOMPARE(values[3], 0.0);
    QCOMPARE(scene.runner.calls[0].start_value, 33);
    QCOMPARE(scene.runner.calls[1].start_value, 67);
    QCOMPARE(scene.runner.calls[2].start_value, 100);
    QCOMPARE(scene.runner.calls[0].total, 3);
    QCOMPARE(scene.runner.calls[1].text, QString("Processing: b.msg"));
  }

  void SameBaseNameLastWins() {
    Scene scene;
    scene.AddSource("x.msg", scene.dir.filePath("A/"));
    const QString second = scene.AddSource("x.msg", scene.dir.filePath("B/"));
    scene.Run();
    QCOMPARE(scene.host.Messages(), QStringList{"Done."});
    QCOMPARE(Entries(scene.out), QStringList{"x.eml"});
    QCOMPARE(ReadAll(scene.out + "x.eml"), Converted(second));
  }

  void ExistingTargetsReplaced_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("writable") << 0644;
    QTest::newRow("read-only") << 0444;
  }
  void ExistingTargetsReplaced() {
    QFETCH(int, mode);
    Scene scene;
    const QString a = scene.AddSource("a.msg");
    QVERIFY(WriteFile(scene.out + "a.eml", "old result"));
    QVERIFY(WriteFile(scene.out + "other.eml", "not ours"));
    ::chmod(QFile::encodeName(scene.out + "a.eml").constData(), mode_t(mode));
    scene.Run();
    QCOMPARE(scene.host.Messages(), QStringList{"Done."});
    QCOMPARE(ReadAll(scene.out + "a.eml"), Converted(a));
    QCOMPARE(ReadAll(scene.out + "other.eml"), QByteArray("not ours"));
    QCOMPARE(Entries(scene.out), (QStringList{"a.eml", "other.eml"}));
  }

  // After a failed move no file stays under a generated name: the result is
  // kept in the working folder under the target's name, never over a file
  // there, or removed; the report says which. The source is never touched.
  void FailedMove_data() {
    QTest::addColumn<bool>("option2");
    QTest::addColumn<QString>("blocker");  // "folder": a folder at the target; "read-only": the source's folder
    QTest::addColumn<bool>("name_taken");  // a.eml already in the working folder
    QTest::addColumn<QString>("says");     // the report's end; "~" stands for the working folder
    QTest::addColumn<QStringList>("working_after");
    QTest::newRow("folder at the target, option 1")
        << false << "folder" << false << "The result was not kept: ~a.eml is already there."
        << QStringList{"a.eml", "b.eml"};
    QTest::newRow("read-only source folder, option 2")
        << true << "read-only" << false << "The result is kept as ~a.eml." << QStringList{"a.eml"};
    QTest::newRow("read-only source folder, name taken in the working folder")
        << true << "read-only" << true << "The result was not kept: ~a.eml is already there."
        << QStringList{"a.eml"};
  }
  void FailedMove() {
    RUN_AS_UNPRIVILEGED_USER();
    QFETCH(bool, option2);
    QFETCH(QString, blocker);
    QFETCH(bool, name_taken);
    QFETCH(QString, says);
    QFETCH(QStringList, working_after);
    Scene scene;
    scene.host.option1 = !option2;
    scene.host.option2 = option2;
    const QString a = scene.AddSource("a.msg");
    const QString b = scene.AddSource("b.msg", scene.dir.filePath("other/"));
    if (name_taken) QVERIFY(WriteFile(scene.out + "a.eml", "not ours"));
    if (blocker == "folder") QVERIFY(QDir().mkpath(scene.out + "a.eml/inside"));
    if (blocker == "read-only") ::chmod(QFile::encodeName(scene.src).constData(), 0555);
    scene.Run();
    ::chmod(QFile::encodeName(scene.src).constData(), 0755);
    const QStringList messages = scene.host.Messages();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(scene.host.dialogs.messages[0].title, QString("Application Error"));
    QVERIFY2(messages[0].contains("in Quorvex2021/08/31.Form1.PushButton2_Click at line 146"),
             qPrintable(messages[0]));
    const QString target = (option2 ? scene.src : scene.out) + "a.eml";
    QVERIFY2(messages[0].startsWith("Cannot move the result to " + target + ": "),
             qPrintable(messages[0]));
    QVERIFY2(messages[0].contains(says.replace("~", scene.out) + "\r\n"), qPrintable(messages[0]));
    QCOMPARE(messages[1], QString("Done."));
    // The next item goes on as usual.
    QCOMPARE(ReadAll(option2 ? scene.dir.filePath("other/b.eml") : scene.out + "b.eml"), Converted(b));
    QCOMPARE(Entries(scene.out), working_after);
    if (blocker == "folder") QVERIFY(QFileInfo(scene.out + "a.eml/inside").isDir());
    if (name_taken) QCOMPARE(ReadAll(scene.out + "a.eml"), QByteArray("not ours"));
    if (!name_taken && blocker == "read-only") QCOMPARE(ReadAll(scene.out + "a.eml"), Converted(a));
    QCOMPARE(Entries(scene.src), QStringList{"a.msg"});
  }

  void Option2PutsResultsBesideSources() {
    Scene scene;
    const QString a = scene.AddSource("a.msg");
    const QString b = scene.AddSource("b.msg", scene.dir.filePath("deep/er/"));
    scene.host.option1 = false;
    scene.host.option2 = true;
    scene.Run();
    QCOMPARE(scene.host.Messages(), QStringList{"Done."});
    QCOMPARE(ReadAll(scene.src + "a.eml"), Converted(a));
    QCOMPARE(ReadAll(scene.dir.filePath("deep/er/b.eml")), Converted(b));
    QVERIFY(Entries(scene.out).isEmpty());
  }

  void Option2AcrossFileSystems() {
    struct stat shm {}, tmp {};
    if (::stat("/dev/shm", &shm) != 0 || ::access("/dev/shm", W_OK) != 0) QSKIP("no /dev/shm");
    Scene scene;
    if (::stat(QFile::encodeName(scene.dir.path()).constData(), &tmp) != 0 || tmp.st_dev == shm.st_dev) {
      QSKIP("temporary folder is on the same file system as /dev/shm");
    }
    QTemporaryDir working(QStringLiteral("/dev/shm/mailvane-test-XXXXXX"));
    QVERIFY(working.isValid());
    scene.host.working_folder = working.path() + "/";
    scene.host.option1 = false;
    scene.host.option2 = true;
    const QString a = scene.AddSource("a.msg");
    QVERIFY(WriteFile(scene.src + "a.eml", "old"));
    scene.Run();
    QCOMPARE(scene.host.Messages(), QStringList{"Done."});
    QCOMPARE(ReadAll(scene.src + "a.eml"), Converted(a));
    QVERIFY(Entries(working.path()).isEmpty());
    // No temporary copy is left beside the result.
    QCOMPARE(Entries(scene.src), (QStringList{"a.eml", "a.msg"}));
  }

  void NeitherOptionActsAsOption1() {
    Scene scene;
    const QString a = scene.AddSource("a.msg");
    scene.host.option1 = false;
    scene.host.option2 = false;
    scene.Run();
    QCOMPARE(ReadAll(scene.out + "a.eml"), Converted(a));
  }

  void WorkingFolderWithoutTrailingSeparator() {
    Scene scene;
    const QString a = scene.AddSource("a.msg");
    scene.host.working_folder = scene.dir.filePath("out");
    scene.Run();
    QCOMPARE(scene.host.Messages(), QStringList{"Done."});
    QCOMPARE(ReadAll(scene.out + "a.eml"), Converted(a));
    QCOMPARE(scene.runner.calls[0].arguments[1], scene.out);
  }

  void ControlsAreReadAnewPerItem() {
    Scene scene;
    const QString a = scene.AddSource("a.msg");
    const QString b = scene.AddSource("b.msg");
    const QString other = scene.dir.filePath("other/");
    QVERIFY(QDir().mkpath(other));
    scene.host.on_item_text = [&](int index) {
      if (index == 2) scene.host.working_folder = other;
      // Added during the run: not converted in it.
      if (index == 1) scene.host.items.append(scene.src + "late.msg");
    };
    scene.Run();
    QCOMPARE(ReadAll(scene.out + "a.eml"), Converted(a));
    QCOMPARE(ReadAll(other + "b.eml"), Converted(b));
    QCOMPARE(int(scene.runner.calls.size()), 2);
    // The share of items begun uses the count at each item.
    QCOMPARE(qRound(scene.host.bar.values[0]), 33);
  }

  void PlantedToolIsReplacedNeverRun() {
    Scene scene;
    const QString a = scene.AddSource("a.msg");
    const QString marker = scene.dir.filePath("pwned");
    QVERIFY(WriteFile(scene.tools + "/quorvex", "#!/bin/sh\ntouch '" + QFile::encodeName(marker) + "'\n"));
    ::chmod(QFile::encodeName(scene.tools + "/quorvex").constData(), 0755);
    scene.Run();
    QVERIFY(!QFileInfo::exists(marker));
    QCOMPARE(ReadAll(scene.out + "a.eml"), Converted(a));
  }

  void LinkInPlaceOfToolIsRefused() {
    Scene scene;
    const QString a = scene.AddSource("a.msg");
    const QString marker = scene.dir.filePath("pwned");
    const QString evil = scene.dir.filePath("evil.sh");
    QVERIFY(WriteFile(evil, "#!/bin/sh\ntouch '" + QFile::encodeName(marker) + "'\n"));
    ::chmod(QFile::encodeName(evil).constData(), 0755);
    QVERIFY(QFile::link(evil, scene.tools + "/quorvex"));
    scene.Run();
    const QStringList messages = scene.host.Messages();
    QCOMPARE(messages.size(), 3);
    QVERIFY(messages[0].contains("at line 112"));
    QCOMPARE(messages[1], "Failed to convert: " + a);
    QCOMPARE(messages[2], QString("Done."));
    QVERIFY(!QFileInfo::exists(marker));
    QVERIFY(QFileInfo(scene.tools + "/quorvex").isSymLink());
  }

  void MissingToolImageIsReported() {
    Scene scene;
    const QString a = scene.AddSource("a.msg");
    scene.host.image_fails = true;
    scene.Run();
    const QStringList messages = scene.host.Messages();
    QCOMPARE(messages.size(), 3);
    QVERIFY(messages[0].startsWith("Resource not found\r\n"));
    QVERIFY(messages[0].contains("at line 110"));
    QCOMPARE(messages[1], "Failed to convert: " + a);
    QCOMPARE(messages[2], QString("Done."));
    QVERIFY(Entries(scene.tools).isEmpty());
  }

  void UnsafeToolFolderIsReported() {
    Scene scene;
    const QString a = scene.AddSource("a.msg");
    scene.options.tool_folder = scene.dir.filePath("open");
    QVERIFY(QDir().mkpath(scene.options.tool_folder));
    ::chmod(QFile::encodeName(scene.options.tool_folder).constData(), 0777);
    scene.Run();
    const QStringList messages = scene.host.Messages();
    QCOMPARE(messages.size(), 3);
    QVERIFY(messages[0].contains("at line 112"));
    QVERIFY(messages[0].contains("writable by others"));
    QCOMPARE(messages[1], "Failed to convert: " + a);
    QVERIFY(!scene.busy);
  }
};

QTEST_GUILESS_MAIN(BatchRunTest)
#include "batch_run_test.moc"
