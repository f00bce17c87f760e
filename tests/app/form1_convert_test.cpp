// "Start Converting" on the real window, with scripted seams and a converter
// script in place of the carried tool.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include <cerrno>

#include <signal.h>
#include <sys/stat.h>

#include "app/form1.h"
#include "app/settings_store.h"
#include "tests/conversion/fake_batch_host.h"
#include "tests/support/scripted_dialogs.h"

namespace {

class StillCursor : public ScreenCursor {
 public:
  QPoint Position() const override { return {0, 330}; }
};

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

struct Window {
  Window() {
    QDir().mkpath(temp.filePath("bin"));
    QDir().mkpath(temp.filePath("out"));
    QDir().mkpath(temp.filePath("tools"));
    ::chmod(QFile::encodeName(temp.filePath("tools")).constData(), 0700);
    store = std::make_unique<SettingsStore>(SettingsStore::OpenIniFile(temp.filePath("s.ini")));
    form = std::make_unique<Form1>(Form1Deps{.dialogs = dialogs,
                                             .pump = pump,
                                             .random = random,
                                             .settings = *store,
                                             .app_folder = temp.filePath("bin"),
                                             .screen_cursor = cursor,
                                             .end_program = [this] { ++end_program_calls; }});
    form->conversion_tool_folder = temp.filePath("tools");
    form->conversion_tool_image = [] { return kTestConverter; };
    form->conversion_cycle_ms = 2;
    form->Text1->setText(temp.filePath("out") + "/");
    form->Option1->setChecked(true);
  }
  QString AddSource(const QString& name) {
    const QString path = temp.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(QFile::encodeName(path));
    form->AddFileToList(path);
    return path;
  }
  QStringList Messages() const {
    QStringList out;
    for (const auto& m : dialogs.messages) out.append(m.text);
    return out;
  }

  QTemporaryDir temp;
  testing_support::ScriptedDialogs dialogs;
  testing_support::ScriptedPump pump;
  testing_support::FixedRandom random{50};
  StillCursor cursor;
  std::unique_ptr<SettingsStore> store;
  std::unique_ptr<Form1> form;
  int end_program_calls = 0;
};

}  // namespace

class Form1ConvertTest : public QObject {
  Q_OBJECT

 private slots:
  void StartConvertingRunsTheList() {
    Window w;
    const QString a = w.AddSource("a.msg");
    const QString failing = w.AddSource("nothing.msg");
    bool busy_during_run = false;
    QString text_during_run;
    w.pump.actions[2] = [&] {
      busy_during_run = w.form->IsBusy();
      text_during_run = w.form->ProgressBar1->text();
    };
    QTest::mouseClick(w.form->PushButton2, Qt::LeftButton);
    QCOMPARE(w.Messages(), (QStringList{"Failed to convert: " + failing, "Done."}));
    QCOMPARE(ReadAll(w.temp.filePath("out/a.eml")), "converted:" + QFile::encodeName(a));
    QVERIFY(busy_during_run);
    QCOMPARE(text_during_run, QString("Processing: a.msg"));
    QVERIFY(!w.form->IsBusy());
    QVERIFY(!w.form->ConversionBusy);
    QCOMPARE(w.form->ProgressBar1->text(), QString("Progress Bar"));
    QCOMPARE(w.form->ProgressBar1->realValue(), 0.0);
    QVERIFY(QDir(w.temp.filePath("tools")).isEmpty());
  }

  void SecondClickDuringRunChangesNothing() {
    Window w;
    const QString a = w.AddSource("a.msg");
    w.pump.actions[3] = [&] { w.form->PushButton2->click(); };
    w.form->PushButton2->click();
    QCOMPARE(w.Messages(), QStringList{"Done."});
    QCOMPARE(ReadAll(w.temp.filePath("out/a.eml")), "converted:" + QFile::encodeName(a));
  }

  void OptionChangedDuringRunCountsFromNextItem() {
    Window w;
    const QString a = w.AddSource("a.msg");
    const QString b = w.AddSource("b.msg");
    // A click on "Save results in folder of original file" while the first
    // item's tool runs (yield 1 is the tool's placement, 2 the item's own).
    w.pump.actions[3] = [&] { w.form->Option2->click(); };
    w.form->PushButton2->click();
    QCOMPARE(w.Messages(), QStringList{"Done."});
    QCOMPARE(ReadAll(w.temp.filePath("out/a.eml")), "converted:" + QFile::encodeName(a));
    QCOMPARE(ReadAll(w.temp.filePath("b.eml")), "converted:" + QFile::encodeName(b));
    QVERIFY(!QFileInfo::exists(w.temp.filePath("out/b.eml")));
  }

  void ClosingDuringARunEndsTheConverter() {
    Window w;
    w.form->show();
    const QString slow = w.AddSource("slow.msg");
    qint64 pid = 0;
    // Yield 3 is the first of the wait: the window is closed once the
    // converter runs.
    w.pump.actions[3] = [&] {
      QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(slow + ".pid"), 10000);
      pid = ReadAll(slow + ".pid").trimmed().toLongLong();
      QVERIFY(w.form->close());
    };
    QElapsedTimer timer;
    timer.start();
    w.form->PushButton2->click();
    QCOMPARE(w.end_program_calls, 1);
    QVERIFY(pid > 0);
    QVERIFY(::kill(pid_t(pid), 0) != 0 && errno == ESRCH);
    QVERIFY(timer.elapsed() < 15000);
    QCOMPARE(QDir(w.temp.filePath("out")).entryList(QDir::Files | QDir::Hidden), QStringList());
  }
};

QTEST_MAIN(Form1ConvertTest)
#include "form1_convert_test.moc"
