// Start-up of the main window: restoring the stored state, the skin, the
// pointer file, the random home-page visit, title and caption, and the reports
// of failing steps. Also the end: closing the window ends the program.
#include <QCloseEvent>
#include <QHeaderView>
#include <QSignalSpy>

#include "tests/app/form_fixture.h"

using app_testing::FormFixture;
using app_testing::StartUpReport;

namespace {
const QString kAbsent = QStringLiteral("<absent>");
}

class Form1StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void first_start_with_empty_store() {
    FormFixture f;
    Form1& form = f.Load();
    QVERIFY(form.Option1->isChecked());
    QVERIFY(!form.Option2->isChecked());
    QVERIFY(form.Frame4->isEnabled());
    const QString desktop = Form1::DesktopFolder();
    QVERIFY(desktop.endsWith(QDir::separator()));
    QCOMPARE(form.Text1->text(), desktop);
    QCOMPARE(f.Stored("Text1"), desktop);
    // Option1 starts selected, so no click wrote the options.
    QCOMPARE(f.Stored("Option1"), kAbsent);
    QCOMPARE(f.Stored("Option2"), kAbsent);
    QVERIFY(f.dialogs.messages.empty());
    QCOMPARE(form.windowTitle(), QStringLiteral("Mailvane"));
    QVERIFY(!form.windowIcon().isNull());
    QCOMPARE(f.dialogs.AppTitle(), QStringLiteral("Mailvane"));
    QCOMPARE(form.ListView1->headerItem()->text(0), QStringLiteral("MSG File(s)"));
    QCOMPARE(form.ListView1->columnCount(), 1);
    QCOMPARE(form.ListView1->columnWidth(0), 467);  // 7000 twips
    QCOMPARE(form.ItemCount(), 0);
  }

  void restores_stored_options_data() {
    QTest::addColumn<QString>("option1");  // stored text, or <absent>
    QTest::addColumn<QString>("option2");
    QTest::addColumn<bool>("selected1");
    QTest::addColumn<bool>("selected2");
    QTest::addColumn<QString>("stored1_after");
    QTest::addColumn<QString>("stored2_after");
    QTest::addColumn<int>("report_step");  // 0: no report
    QTest::newRow("second option chosen") << "False" << "True" << false << true << "False" << "True" << 0;
    QTest::newRow("first option chosen") << "True" << "False" << true << false << "True" << "False" << 0;
    QTest::newRow("numbers instead of words") << "1" << "0" << true << false << "1" << "0" << 0;
    QTest::newRow("numbers for the second option") << "0" << "-1" << false << true << "False" << "True" << 0;
    QTest::newRow("any letter case") << "fALSE" << "tRUE" << false << true << "False" << "True" << 0;
    QTest::newRow("both false: none selected") << "False" << "False" << false << false << "False" << "False" << 0;
    // Selecting the second clears the first, and its click writes both.
    QTest::newRow("both true: the second wins") << "True" << "True" << false << true << "False" << "True" << 0;
    QTest::newRow("first unreadable keeps its starting state")
        << "maybe" << "0" << true << false << "maybe" << "0" << 138;
    QTest::newRow("second unreadable keeps its starting state")
        << "False" << "" << false << false << "False" << "" << 140;
    QTest::newRow("only the second stored") << kAbsent << "True" << false << true << "False" << "True" << 0;
  }
  void restores_stored_options() {
    QFETCH(QString, option1);
    QFETCH(QString, option2);
    QFETCH(bool, selected1);
    QFETCH(bool, selected2);
    QFETCH(QString, stored1_after);
    QFETCH(QString, stored2_after);
    QFETCH(int, report_step);
    FormFixture f;
    if (option1 != kAbsent) f.Store("Option1", option1);
    if (option2 != kAbsent) f.Store("Option2", option2);
    Form1& form = f.Load();
    QCOMPARE(form.Option1->isChecked(), selected1);
    QCOMPARE(form.Option2->isChecked(), selected2);
    // The frame with the output folder follows the first option.
    QCOMPARE(form.Frame4->isEnabled(), selected1);
    QCOMPARE(form.Text1->isEnabled(), selected1);
    QCOMPARE(form.PushButton9->isEnabled(), selected1);
    QCOMPARE(f.Stored("Option1"), stored1_after);
    QCOMPARE(f.Stored("Option2"), stored2_after);
    if (report_step == 0) {
      QVERIFY(f.Reports().isEmpty());
    } else {
      QCOMPARE(f.Reports(), QStringList{StartUpReport("Type mismatch", report_step)});
    }
  }

  void restores_output_folder_data() {
    QTest::addColumn<QString>("stored");  // or <absent>
    QTest::addColumn<bool>("desktop");    // the home folder has a desktop folder
    QTest::addColumn<QString>("shown");   // "~" stands for the home folder
    QTest::addColumn<int>("changes");     // change notifications at start-up
    QTest::newRow("stored folder") << "D:\\Out\\" << true << "D:\\Out\\" << 1;
    QTest::newRow("emptied by the user") << "" << true << "" << 0;
    QTest::newRow("typed without separator") << "/srv/mail" << true << "/srv/mail" << 1;
    QTest::newRow("first start: the desktop") << kAbsent << true << "~/Desktop/" << 1;
    QTest::newRow("first start without a desktop: home") << kAbsent << false << "~/" << 1;
    QTest::newRow("emptied, without a desktop") << "" << false << "" << 0;
  }
  void restores_output_folder() {
    QFETCH(QString, stored);
    QFETCH(bool, desktop);
    QFETCH(QString, shown);
    QFETCH(int, changes);
    FormFixture f;
    // A home of its own, with no desktop named in a user-dirs file.
    const QString home = f.temp.path() + QStringLiteral("/home");
    QVERIFY(QDir().mkpath(home + (desktop ? QStringLiteral("/Desktop") : QString())));
    const QByteArray saved_home = qgetenv("HOME"), saved_config = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    if (stored != kAbsent) f.Store("Text1", stored);
    Form1& form = f.Make();
    QSignalSpy spy(form.Text1, &QLineEdit::textChanged);
    form.Form_Load();
    qputenv("HOME", saved_home);
    qputenv("XDG_CONFIG_HOME", saved_config);
    if (saved_config.isEmpty()) qunsetenv("XDG_CONFIG_HOME");
    if (shown.startsWith(u'~')) shown.replace(0, 1, home);
    QCOMPARE(form.Text1->text(), shown);
    QCOMPARE(spy.count(), changes);
    QCOMPARE(f.Stored("Text1"), stored == kAbsent ? shown : stored);
    QVERIFY(f.dialogs.messages.empty());
  }

  void skin_absent_changes_nothing() {
    FormFixture f;
    Form1& form = f.Make();
    const QPalette before = form.palette();
    form.Form_Load();
    QVERIFY(form.styleSheet().isEmpty());
    QVERIFY(!form.autoFillBackground());
    QVERIFY(!form.Frame1->autoFillBackground());
    QCOMPARE(form.palette().color(QPalette::Window), before.color(QPalette::Window));
  }

  void skin_present_colours_and_applies_sheet() {
    FormFixture f;
    const QByteArray sheet = "QPushButton { color: #123456; }";
    f.WriteBeside("x/o.cjs", sheet);
    Form1& form = f.Load();
    QCOMPARE(form.styleSheet(), QString::fromUtf8(sheet));
    const QColor face = form.palette().color(QPalette::Button);
    QCOMPARE(form.palette().color(QPalette::Window), face);
    for (QWidget* w : {static_cast<QWidget*>(form.Frame1), static_cast<QWidget*>(form.Frame4),
                       static_cast<QWidget*>(form.Option1), static_cast<QWidget*>(form.Option2)}) {
      QVERIFY2(w->autoFillBackground(), qPrintable(w->objectName()));
      QCOMPARE(w->palette().color(QPalette::Window), face);
    }
    // Push buttons, the list and the text box keep their own look.
    QVERIFY(!form.PushButton1->autoFillBackground());
    QVERIFY(!form.Text1->autoFillBackground());
    QVERIFY(f.Reports().isEmpty());
  }

  // The skin fails after the colours changed: step 100 is reported, the colours
  // stay, and start-up goes on to the pointer and everything after it.
  void failing_skin_reports_step_100_and_goes_on() {
    FormFixture f;
    f.InstallResource("HAND-M.CUR");
    QDir().mkpath(f.AppFolder() + "/x");
    QFile big(f.AppFolder() + "/x/o.cjs");
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(5 << 20));
    big.close();
    Form1& form = f.Load();
    QCOMPARE(f.Reports(), QStringList{StartUpReport("Skin file is too large", 100)});
    QVERIFY(form.autoFillBackground());
    QVERIFY(form.styleSheet().isEmpty());
    QVERIFY(form.HandPointer().has_value());
    QCOMPARE(form.windowTitle(), QStringLiteral("Mailvane"));
    QCOMPARE(form.Text1->text(), Form1::DesktopFolder());
  }

  void hand_pointer_data() {
    QTest::addColumn<QByteArray>("file");  // empty: no file
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<int>("report_step");
    QFile ours(app_testing::ResourcePath("HAND-M.CUR"));
    QVERIFY(ours.open(QIODevice::ReadOnly));
    const QByteArray cursor = ours.readAll();
    QTest::newRow("our hand pointer") << cursor << true << 0;
    QTest::newRow("missing: no pointer, no report") << QByteArray() << false << 0;
    QTest::newRow("not a pointer image") << QByteArray("GIF89a but not really") << false << 104;
    QTest::newRow("cut short") << cursor.left(60) << false << 104;
  }
  void hand_pointer() {
    QFETCH(QByteArray, file);
    QFETCH(bool, loaded);
    QFETCH(int, report_step);
    FormFixture f;
    if (!file.isEmpty()) f.WriteBeside("HAND-M.CUR", file);
    Form1& form = f.Load();
    QCOMPARE(form.HandPointer().has_value(), loaded);
    if (loaded) QCOMPARE(form.HandPointer()->hotSpot(), QPoint(7, 0));
    if (report_step == 0) {
      QVERIFY(f.Reports().isEmpty());
    } else {
      QCOMPARE(f.Reports(), QStringList{StartUpReport("Invalid picture", report_step)});
      // Start-up went on with the steps after the pointer.
      QCOMPARE(f.dialogs.AppTitle(), QStringLiteral("Mailvane"));
    }
  }

  void home_page_once_in_a_hundred_data() {
    QTest::addColumn<int>("draw");
    QTest::addColumn<bool>("opens");
    QTest::newRow("1") << 1 << false;
    QTest::newRow("6") << 6 << false;
    QTest::newRow("7") << 7 << true;
    QTest::newRow("8") << 8 << false;
    QTest::newRow("100") << 100 << false;
  }
  void home_page_once_in_a_hundred() {
    QFETCH(int, draw);
    QFETCH(bool, opens);
    FormFixture f;
    f.random.value = draw;
    f.Load();
    QCOMPARE(f.dialogs.opened_urls,
             opens ? QStringList{QString::fromLatin1(Form1::kHomePage)} : QStringList{});
  }

  void app_title_data() {
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("title");
    QTest::newRow("one word is used whole") << "Mailvane" << "Mailvane";
    QTest::newRow("loses its last word") << "Velmora Mail Converter" << "Velmora Mail";
    QTest::newRow("two words") << "Mail Vane" << "Mail";
    QTest::newRow("words dropped until 40 or less")
        << "Velmora Outlook Message To Internet Message File Converter Pro"
        << "Velmora Outlook Message To Internet";
    QTest::newRow("exactly 40 after one cut")
        << QString(40, 'a') + " tail" << QString(40, 'a');
    QTest::newRow("one long word is cut to 40") << QString(50, 'b') << QString(40, 'b');
    QTest::newRow("long first word") << QString(45, 'c') + " d e" << QString(40, 'c');
  }
  void app_title() {
    QFETCH(QString, product);
    QFETCH(QString, title);
    const QString made = Form1::AppTitleFor(product);
    QCOMPARE(made, title);
    QVERIFY(made.size() <= 40);
  }

  void layout_in_pixels() {
    FormFixture f;
    Form1& form = f.Load();
    QCOMPARE(form.size(), QSize(536, 483));
    QCOMPARE(form.ListView1->geometry(), QRect(8, 42, 520, 169));
    QCOMPARE(form.Frame4->parentWidget(), form.Frame1);
    QCOMPARE(form.Text1->parentWidget(), form.Frame4);
    QCOMPARE(form.PushButton9->parentWidget(), form.Frame4);
    QCOMPARE(form.Frame4->geometry(), QRect(32, 34, 456, 54));
    QCOMPARE(form.PushButton9->geometry(), QRect(400, 20, 40, 23));
    QCOMPARE(form.ProgressBar1->geometry(), QRect(8, 447, 520, 27));
    QCOMPARE(form.ProgressBar1->text(), QStringLiteral("Progress Bar"));
    QVERIFY(form.Frame4->title().isEmpty());
    QCOMPARE(form.Frame1->title(), QStringLiteral("Save Option"));
    QCOMPARE(form.font().family(), QStringLiteral("Arial"));
    QVERIFY(form.font().bold());
    QCOMPARE(form.PushButton2->font().pointSizeF(), 11.25);
    QCOMPARE(form.ListView1->toolTip(),
             QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | line "
                            "to right and out of window to reveal full names."));
    const char* names[] = {"PushButton1", "PushButton2", "PushButton3", "PushButton4",
                           "PushButton6", "PushButton7", "PushButton9", "ListView1",
                           "ProgressBar1", "Option1", "Option2", "Text1", "Frame1", "Frame4"};
    for (const char* name : names) QVERIFY2(form.findChild<QWidget*>(name) != nullptr, name);
  }

  void closing_ends_the_program() {
    FormFixture f;
    Form1& form = f.Load();
    form.show();
    QVERIFY(form.close());
    QCOMPARE(f.end_program_calls, 1);
  }
};

QTEST_MAIN(Form1StartupTest)
#include "form1_startup_test.moc"
