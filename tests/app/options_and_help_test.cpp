// The output options, the output folder box with its "..." button, and the
// two help boxes.
#include "tests/app/form_fixture.h"

using app_testing::FormFixture;

class OptionsAndHelpTest : public QObject {
  Q_OBJECT

 private slots:
  void option_clicks_store_both_and_switch_the_frame() {
    FormFixture f;
    Form1& form = f.Load();
    QTest::mouseClick(form.Option2, Qt::LeftButton);
    QVERIFY(form.Option2->isChecked());
    QVERIFY(!form.Option1->isChecked());
    QVERIFY(!form.Frame4->isEnabled());
    QCOMPARE(f.Stored("Option1"), QStringLiteral("False"));
    QCOMPARE(f.Stored("Option2"), QStringLiteral("True"));
    // The folder text stays while the frame is disabled.
    QCOMPARE(form.Text1->text(), Form1::DesktopFolder());

    QTest::mouseClick(form.Option1, Qt::LeftButton);
    QVERIFY(form.Option1->isChecked());
    QVERIFY(!form.Option2->isChecked());
    QVERIFY(form.Frame4->isEnabled());
    QCOMPARE(f.Stored("Option1"), QStringLiteral("True"));
    QCOMPARE(f.Stored("Option2"), QStringLiteral("False"));
  }

  void clicking_the_selected_option_keeps_it_selected() {
    FormFixture f;
    Form1& form = f.Load();
    QTest::mouseClick(form.Option1, Qt::LeftButton);
    QVERIFY(form.Option1->isChecked());
    QVERIFY(!form.Option2->isChecked());
    QVERIFY(form.Frame4->isEnabled());
    QCOMPARE(f.Stored("Option1"), QStringLiteral("True"));
  }

  // From "neither selected" (a hand-edited store) one click selects one.
  void click_from_neither_selected() {
    FormFixture f;
    f.Store("Option1", "False");
    f.Store("Option2", "False");
    Form1& form = f.Load();
    QTest::mouseClick(form.Option1, Qt::LeftButton);
    QVERIFY(form.Option1->isChecked());
    QVERIFY(form.Frame4->isEnabled());
    QCOMPARE(f.Stored("Option2"), QStringLiteral("False"));
  }

  void typing_stores_every_keystroke() {
    FormFixture f;
    Form1& form = f.Load();
    form.Text1->clear();
    QCOMPARE(f.Stored("Text1"), QString());
    QStringList seen;
    QObject::connect(form.Text1, &QLineEdit::textChanged, form.Text1,
                     [&] { seen << f.Stored("Text1"); });
    QTest::keyClicks(form.Text1, "D:\\o");
    QCOMPARE(seen, QStringList({"D", "D:", "D:\\", "D:\\o"}));
    form.Text1->selectAll();
    QTest::keyClick(form.Text1, Qt::Key_Delete);
    QCOMPARE(f.Stored("Text1"), QString());
  }

  void browse_button_data() {
    QTest::addColumn<QString>("picked");  // empty: cancelled
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("last_folder");
    const QString sep = QDir::separator();
    QTest::newRow("folder gets a separator") << "/srv/Out" << "/srv/Out" + sep << "/srv/Out";
    QTest::newRow("drive root keeps its own") << "C:\\" << "C:\\" << "C:\\";
    QTest::newRow("unix root keeps its own") << "/" << "/" << "/";
  }
  void browse_button() {
    QFETCH(QString, picked);
    QFETCH(QString, shown);
    QFETCH(QString, last_folder);
    FormFixture f;
    Form1& form = f.Load();
    f.dialogs.folder_answers.enqueue(picked);
    QTest::mouseClick(form.PushButton9, Qt::LeftButton);
    QCOMPARE(f.dialogs.folder_requests.size(), size_t{1});
    QCOMPARE(f.dialogs.folder_requests[0].title, QStringLiteral("Please select folder:"));
    QCOMPARE(f.dialogs.folder_requests[0].arg, QString());
    QCOMPARE(form.Text1->text(), shown);
    QCOMPARE(f.Stored("Text1"), shown);
    QCOMPARE(f.Stored("LastFolderDot"), last_folder);
    // The next browse starts where this one ended.
    form.PushButton9_Click();
    QCOMPARE(f.dialogs.folder_requests[1].arg, last_folder);
    QVERIFY(f.dialogs.messages.empty());
  }

  void cancelled_browse_changes_nothing() {
    FormFixture f;
    f.Store("LastFolderDot", "/srv/before");
    Form1& form = f.Load();
    form.Text1->setText("/typed/");
    form.PushButton9_Click();  // no answer queued: cancelled
    QCOMPARE(f.dialogs.folder_requests[0].arg, QStringLiteral("/srv/before"));
    QCOMPARE(form.Text1->text(), QStringLiteral("/typed/"));
    QCOMPARE(f.Stored("Text1"), QStringLiteral("/typed/"));
    QCOMPARE(f.Stored("LastFolderDot"), QStringLiteral("/srv/before"));
  }

  void help_shows_two_boxes() {
    FormFixture f;
    Form1& form = f.Load();
    QTest::mouseClick(form.PushButton3, Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), size_t{2});
    QCOMPARE(f.dialogs.messages[0].text,
             QStringLiteral("EML will not be created if the MSG file does not contain valid email "
                            "address (FROM) or it contains sender's address stored in exchange "
                            "server.\r\n\r\nQuestions? Please contact Team Velmora at ") +
                 QLatin1String(Form1::kContactPage));
    QCOMPARE(f.dialogs.messages[1].text,
             QStringLiteral("If you are getting a query message that says\r\n\r\n"
                            "\"Allow access for x minutes Yes No Help\"\r\n\r\n"
                            "You may want to deactivate it so that my software can work with "
                            "Outlook for a longer period of time.\r\n\r\n"
                            "To deactivate this query message, look for an option resembling:\r\n\r\n"
                            "Outlook > Tools > Trust Center > Allow programmatic access"));
    for (const auto& m : f.dialogs.messages) {
      QCOMPARE(m.title, QStringLiteral("Mailvane"));
      QCOMPARE(m.icon, platform::MessageIcon::kNone);
      QVERIFY(!m.yes_no);
    }
  }

  // A failing first box is reported with step 100 and the second still shows.
  void help_goes_on_after_a_failing_box() {
    FormFixture f;
    Form1& form = f.Load();
    bool thrown = false;
    f.dialogs.on_message = [&](const testing_support::ShownMessage& m) {
      if (!thrown && m.title != QLatin1String("Application Error")) {
        thrown = true;
        throw platform::Failure("Out of memory");
      }
    };
    form.PushButton3_Click();
    QCOMPARE(f.dialogs.messages.size(), size_t{3});
    QCOMPARE(f.dialogs.messages[1].text,
             platform::ErrorReportText("Out of memory",
                                    "in Quorvex2021/08/31.Form1.PushButton3_Click ", 100));
    QVERIFY(f.dialogs.messages[2].text.startsWith("If you are getting"));
  }
};

QTEST_MAIN(OptionsAndHelpTest)
#include "options_and_help_test.moc"
