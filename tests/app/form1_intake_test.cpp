// The window's ways of filling the list: the file dialog, "Add All", the samples
// and drag and drop, driven through Form1 with scripted dialogs.
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <memory>

#include "app/form1.h"
#include "app/settings_store.h"
#include "platform/error_report.h"
#include "tests/support/unprivileged.h"
#include "tests/support/scripted_dialogs.h"

using testing_support::FixedRandom;
using testing_support::ScriptedDialogs;
using testing_support::ScriptedPump;

namespace {

const QString kExtensionPrompt = QStringLiteral(
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc "
    "files, etc.)");
const QString kTooMany = QStringLiteral(
    "You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button.");
const QString kSampleQuestion = QStringLiteral(
    "Would you like this software to open the folder where these sample files are stored (so "
    "that you can view them before working with them)?");

class StillCursor : public ScreenCursor {
 public:
  QPoint Position() const override { return {}; }
};

void Touch(const QString& path) {
  QVERIFY2(QDir().mkpath(QFileInfo(path).path()), qPrintable(path));
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
  file.write("x");
}

// A window with scripted dialogs, a counting pump, its settings in an INI file
// and its program folder in a temporary folder.
struct Harness {
  explicit Harness(const QString& settings_path = {}) {
    const QString ini = settings_path.isEmpty() ? dir.path() + "/settings.ini" : settings_path;
    settings = std::make_unique<SettingsStore>(SettingsStore::OpenIniFile(ini));
    form = std::make_unique<Form1>(Form1Deps{dialogs, pump, random, *settings, dir.path() + "/app",
                                             cursor, [] {}});
  }
  QStringList Items() const {
    QStringList items;
    for (int i = 1; i <= form->ItemCount(); ++i) items.push_back(form->ItemText(i));
    return items;
  }
  std::optional<QString> Stored(const QString& key) {
    const QString absent = QStringLiteral("\x01absent");
    const QString value = settings->GetSetting(key, absent);
    return value == absent ? std::nullopt : std::optional<QString>(value);
  }

  QTemporaryDir dir;
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  FixedRandom random{50};
  StillCursor cursor;
  std::unique_ptr<SettingsStore> settings;
  std::unique_ptr<Form1> form;
};

// A small mail tree:
//   top/a.msg  top/B.MSG  top/~lock.msg  top/.hidden.msg  top/notes.txt  top/x..msg
//   top/sub/c.msg  top/sub/deeper/d.msg  top/sub/loop -> top
QString MakeMailTree(const QString& base) {
  const QString top = base + "/top";
  for (const char* name : {"a.msg", "B.MSG", "~lock.msg", ".hidden.msg", "notes.txt", "x..msg",
                           "sub/c.msg", "sub/deeper/d.msg"})
    Touch(top + u'/' + QLatin1String(name));
  QFile::link(top, top + "/sub/loop");
  return top;
}

std::unique_ptr<QMimeData> FileDrop(const QStringList& paths) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  for (const QString& path : paths) urls.push_back(QUrl::fromLocalFile(path));
  data->setUrls(urls);
  return data;
}

}  // namespace

class Form1IntakeTest : public QObject {
  Q_OBJECT

 private slots:
  void addFilesDialog_data();
  void addFilesDialog();
  void addAll_data();
  void addAll();
  void addAllShowsTheHourglassWhileScanning();
  void addAllTwiceListsTwice();
  void addAllTakesReadOnlyDotFiles();
  void addAllGoesOnWhenTheStoreFails();
  void dragOver_data();
  void dragOver();
  void dropMixesFoldersAndFilesInOrder();
  void dropOnTheListReachesTheHandler();
  void samplesAddedOnceAndQuestionAlwaysAsked();
  void missingSampleFolderStillAsks();
};

void Form1IntakeTest::addFilesDialog_data() {
  QTest::addColumn<QStringList>("already");
  QTest::addColumn<QStringList>("chosen");
  QTest::addColumn<QStringList>("items");
  QTest::addColumn<bool>("too_many");
  // "/mail" + 120 x (separator + 247 characters) = 29765; a last name of 234
  // characters brings the selection to exactly 30000, one more goes over.
  const QString long_name = QString(240, u'n') + ".msg";
  QStringList fits;
  for (int i = 0; i < 120; ++i)
    fits.push_back("/mail/" + QString::number(i).rightJustified(3, u'0') + long_name);
  QStringList many = fits;
  fits.push_back("/mail/" + QString(230, u'x') + ".msg");
  many.push_back("/mail/" + QString(231, u'x') + ".msg");
  QTest::newRow("cancel") << QStringList() << QStringList() << QStringList() << false;
  QTest::newRow("one file unchanged") << QStringList() << QStringList{"/mail//in box/a.msg"}
                                      << QStringList{"/mail//in box/a.msg"} << false;
  QTest::newRow("three files joined and collapsed")
      << QStringList() << QStringList{"/mail//box/a.msg", "/mail//box/b.MSG", "/mail//box/c d.msg"}
      << QStringList{"/mail/box/a.msg", "/mail/box/b.MSG", "/mail/box/c d.msg"} << false;
  QTest::newRow("several in the root") << QStringList() << QStringList{"/a.msg", "/b.msg"}
                                       << QStringList{"/a.msg", "/b.msg"} << false;
  QTest::newRow("already listed is listed again")
      << QStringList{"/m/a.msg"} << QStringList{"/m/a.msg"} << QStringList{"/m/a.msg", "/m/a.msg"}
      << false;
  QTest::newRow("too many appends nothing") << QStringList{"/kept.msg"} << many
                                            << QStringList{"/kept.msg"} << true;
  QTest::newRow("just below the limit") << QStringList() << fits << fits << false;
}

void Form1IntakeTest::addFilesDialog() {
  QFETCH(QStringList, already);
  QFETCH(QStringList, chosen);
  QFETCH(QStringList, items);
  QFETCH(bool, too_many);
  Harness h;
  for (const QString& path : already) h.form->AddFileToList(path);
  h.dialogs.file_answers.enqueue(chosen);
  h.form->PushButton1->click();
  QCOMPARE(h.Items(), items);
  QCOMPARE(h.dialogs.file_requests.size(), size_t(1));
  QCOMPARE(h.dialogs.file_requests[0].title,
           QStringLiteral("Add File(s) - Hold Ctrl to select multiple files"));
  QCOMPARE(h.dialogs.file_requests[0].arg, QStringLiteral("MSG Files (*.msg)"));
  if (too_many) {
    QCOMPARE(h.dialogs.messages.size(), size_t(1));
    QCOMPARE(h.dialogs.messages[0].text, kTooMany);
    QCOMPARE(h.dialogs.messages[0].icon, platform::MessageIcon::kNone);
  } else {
    QVERIFY(h.dialogs.messages.empty());
  }
}

void Form1IntakeTest::addAll_data() {
  QTest::addColumn<QString>("extension");  // "<cancel>": input box cancelled
  QTest::addColumn<bool>("pick_folder");
  QTest::addColumn<QStringList>("items");  // relative to the tree
  QTest::addColumn<QString>("stored_extension");  // "<absent>"
  QTest::addColumn<bool>("folder_stored");
  QTest::newRow("cancelled input box") << "<cancel>" << true << QStringList() << "<absent>" << false;
  QTest::newRow("cancelled folder picker keeps the extension")
      << "txt" << false << QStringList() << "txt" << false;
  QTest::newRow("msg in any letter case, no ~ and no hidden+archive")
      << "msg" << true << QStringList{"a.msg", "B.MSG", "x..msg", "sub/c.msg", "sub/deeper/d.msg"}
      << "msg" << true;
  QTest::newRow("star takes every extension")
      << "*" << true
      << QStringList{"a.msg", "B.MSG", "notes.txt", "x..msg", "sub/c.msg", "sub/deeper/d.msg"}
      << "*" << true;
  QTest::newRow("leading dot used as typed") << ".msg" << true << QStringList{"x..msg"} << ".msg"
                                             << true;
}

void Form1IntakeTest::addAll() {
  QFETCH(QString, extension);
  QFETCH(bool, pick_folder);
  QFETCH(QStringList, items);
  QFETCH(QString, stored_extension);
  QFETCH(bool, folder_stored);
  Harness h;
  const QString top = MakeMailTree(h.dir.path());
  h.dialogs.input_answers.enqueue(extension == "<cancel>" ? QString() : extension);
  h.dialogs.folder_answers.enqueue(pick_folder ? top : QString());
  h.form->PushButton4->click();

  QStringList expected;
  for (const QString& item : items) expected.push_back(top + u'/' + item);
  QCOMPARE(h.Items(), expected);
  QCOMPARE(h.dialogs.input_prompts.size(), size_t(1));
  QCOMPARE(h.dialogs.input_prompts[0].prompt, kExtensionPrompt);
  QCOMPARE(h.dialogs.input_prompts[0].preset, QStringLiteral("msg"));
  QCOMPARE(h.Stored("Extension").value_or("<absent>"), stored_extension);
  QCOMPARE(h.Stored("LastFolder"), folder_stored ? std::optional<QString>(top) : std::nullopt);
  QVERIFY(h.dialogs.messages.empty());
  QVERIFY(!h.form->IsBusy());
}

void Form1IntakeTest::addAllShowsTheHourglassWhileScanning() {
  Harness h;
  const QString top = MakeMailTree(h.dir.path());
  h.settings->SaveSetting("Extension", "txt");
  h.settings->SaveSetting("LastFolder", "/somewhere/else");
  h.dialogs.input_answers.enqueue("msg");
  h.dialogs.folder_answers.enqueue(top + u'/');
  bool busy_during_scan = false;
  h.pump.actions[1] = [&] {
    busy_during_scan = h.form->IsBusy();
    // Removing rows is refused meanwhile.
    h.form->PushButton6->click();
  };
  h.form->AddFileToList("/earlier.msg");
  h.form->PushButton4->click();
  QVERIFY(busy_during_scan);
  QVERIFY(!h.form->IsBusy());
  QCOMPARE(h.dialogs.input_prompts[0].preset, QStringLiteral("txt"));
  QCOMPARE(h.dialogs.folder_requests[0].title, QStringLiteral("Please select folder:"));
  QCOMPARE(h.dialogs.folder_requests[0].arg, QStringLiteral("/somewhere/else"));
  QCOMPARE(h.Stored("LastFolder"), std::optional<QString>(top));
  QCOMPARE(h.form->ItemCount(), 1 + 5);
  QCOMPARE(h.form->ItemText(1), QStringLiteral("/earlier.msg"));
}

void Form1IntakeTest::addAllTwiceListsTwice() {
  Harness h;
  const QString top = MakeMailTree(h.dir.path());
  for (int i = 0; i < 2; ++i) {
    h.dialogs.input_answers.enqueue("msg");
    h.dialogs.folder_answers.enqueue(top);
    h.form->PushButton4->click();
  }
  const QStringList items = h.Items();
  QCOMPARE(items.size(), 10);
  QCOMPARE(items.mid(0, 5), items.mid(5));
}

void Form1IntakeTest::addAllTakesReadOnlyDotFiles() {
  RUN_AS_UNPRIVILEGED_USER();
  Harness h;
  const QString top = h.dir.path() + "/top";
  Touch(top + "/.writable.msg");
  Touch(top + "/.readonly.msg");
  QVERIFY(QFile::setPermissions(top + "/.readonly.msg", QFile::ReadOwner));
  h.dialogs.input_answers.enqueue("msg");
  h.dialogs.folder_answers.enqueue(top);
  h.form->PushButton4->click();
  // 34 (hidden + archive) is left out, 35 (also read-only) is taken.
  QCOMPARE(h.Items(), QStringList{top + "/.readonly.msg"});
}

void Form1IntakeTest::addAllGoesOnWhenTheStoreFails() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  Touch(dir.path() + "/not-a-folder");
  // The store's folder cannot be created, so every write fails.
  Harness h(dir.path() + "/not-a-folder/settings.ini");
  const QString top = MakeMailTree(h.dir.path());
  h.dialogs.input_answers.enqueue("msg");
  h.dialogs.folder_answers.enqueue(top);
  h.form->PushButton4->click();
  QCOMPARE(h.form->ItemCount(), 5);
  QVERIFY(h.dialogs.messages.size() >= 2);
  const QString location = QStringLiteral("in Quorvex2021/08/31.Form1.PushButton4_Click ");
  QCOMPARE(h.dialogs.messages.front().text, platform::ErrorReportText("Permission denied", location, 100));
  QCOMPARE(h.dialogs.messages.back().text, platform::ErrorReportText("Permission denied", location, 334));
  for (const auto& message : h.dialogs.messages)
    QCOMPARE(message.title, QStringLiteral("Application Error"));
  QVERIFY(!h.form->IsBusy());
}

void Form1IntakeTest::dragOver_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<bool>("accepted");
  QTest::newRow("plain text") << 0 << false;
  QTest::newRow("web address") << 1 << false;
  QTest::newRow("local files") << 2 << true;
  QTest::newRow("nothing") << 3 << false;
}

void Form1IntakeTest::dragOver() {
  QFETCH(int, kind);
  QFETCH(bool, accepted);
  Harness h;
  QMimeData data;
  if (kind == 0) data.setText("/tmp/a.msg");
  if (kind == 1) data.setUrls({QUrl("https://example.org/a.msg")});
  if (kind == 2) data.setUrls({QUrl::fromLocalFile("/tmp/a.msg"), QUrl::fromLocalFile("/tmp")});
  QCOMPARE(h.form->ListView1_OLEDragOver(kind == 3 ? nullptr : &data), accepted);
}

void Form1IntakeTest::dropMixesFoldersAndFilesInOrder() {
  Harness h;
  const QString top = MakeMailTree(h.dir.path());
  const QString other = h.dir.path() + "/other";
  Touch(other + "/z.eml");
  Touch(other + "/inner/y.doc");
  QVERIFY(QFile::link(top, other + "/inner/to-top"));
  Touch(h.dir.path() + "/~draft.msg");
  const QString missing = h.dir.path() + "/gone/never.msg";
  auto data = FileDrop({h.dir.path() + "/~draft.msg", top, missing, other + u'/'});
  h.form->ListView1_OLEDragDrop(data.get());
  const QStringList expected{
      h.dir.path() + "/~draft.msg",  // dropped files are listed as dropped
      top + "/a.msg", top + "/B.MSG", top + "/notes.txt", top + "/x..msg", top + "/sub/c.msg",
      top + "/sub/deeper/d.msg",
      missing,
      // Each dropped folder is scanned on its own, links followed but every
      // folder walked once per tree.
      other + "/z.eml", other + "/inner/y.doc", other + "/inner/to-top/a.msg",
      other + "/inner/to-top/B.MSG", other + "/inner/to-top/notes.txt",
      other + "/inner/to-top/x..msg", other + "/inner/to-top/sub/c.msg",
      other + "/inner/to-top/sub/deeper/d.msg"};
  QCOMPARE(h.Items(), expected);
  QVERIFY(h.dialogs.messages.empty());
  QVERIFY(h.pump.yields > 0);
}

void Form1IntakeTest::dropOnTheListReachesTheHandler() {
  Harness h;
  Touch(h.dir.path() + "/in/one.msg");
  auto data = FileDrop({h.dir.path() + "/in"});
  QWidget* target = h.form->ListView1->viewport();
  const QPointF at(5, 5);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  QCOMPARE(h.Items(), QStringList{h.dir.path() + "/in/one.msg"});
}

void Form1IntakeTest::samplesAddedOnceAndQuestionAlwaysAsked() {
  Harness h;
  const QString samples = h.dir.path() + "/app/Samples";
  for (const char* name : {"b.msg", "a.eml", ".hidden", "~temp.msg", "sub/not-entered.msg"})
    Touch(samples + u'/' + QLatin1String(name));
  h.form->AddFileToList(samples + "//a.eml");  // another text for the same file
  h.dialogs.yes_no_answers.enqueue(true);
  h.dialogs.yes_no_answers.enqueue(false);
  h.dialogs.yes_no_answers.enqueue(false);

  h.form->PushButton7->click();
  const QStringList first{samples + "//a.eml", samples + "/.hidden", samples + "/a.eml",
                          samples + "/b.msg", samples + "/~temp.msg"};
  QCOMPARE(h.Items(), first);
  QCOMPARE(h.dialogs.opened_folders, QStringList{samples});

  h.form->PushButton7->click();
  QCOMPARE(h.Items(), first);

  h.form->ListView1->setCurrentItem(h.form->ListView1->topLevelItem(3));  // b.msg
  h.form->ListView1_KeyDown(Qt::Key_Delete);
  h.form->PushButton7->click();
  QCOMPARE(h.Items().last(), samples + "/b.msg");
  QCOMPARE(h.form->ItemCount(), first.size());

  QCOMPARE(h.dialogs.messages.size(), size_t(3));
  for (const auto& message : h.dialogs.messages) {
    QVERIFY(message.yes_no);
    QCOMPARE(message.text, kSampleQuestion);
  }
  QCOMPARE(h.dialogs.opened_folders.size(), 1);
}

void Form1IntakeTest::missingSampleFolderStillAsks() {
  Harness h;
  h.dialogs.yes_no_answers.enqueue(true);
  h.form->PushButton7->click();
  QCOMPARE(h.form->ItemCount(), 0);
  QCOMPARE(h.dialogs.messages.size(), size_t(1));
  QCOMPARE(h.dialogs.messages[0].text, kSampleQuestion);
  QCOMPARE(h.dialogs.opened_folders, QStringList{h.dir.path() + "/app/Samples"});
}

QTEST_MAIN(Form1IntakeTest)
#include "form1_intake_test.moc"
