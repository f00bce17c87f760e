// The one error report: its exact text, its box, and how a guarded procedure
// goes on after a failing step.
#include <QtTest>
#include <stdexcept>

#include "platform/error_report.h"
#include "tests/support/scripted_dialogs.h"

using testing_support::ScriptedDialogs;

namespace {

const QString kLocation = QStringLiteral("in Quorvex2021/08/31.Form1.PushButton3_Click ");

[[noreturn]] void FailDeepInside() { throw platform::Failure("File not found"); }

}  // namespace

class ErrorReportTest : public QObject {
  Q_OBJECT

 private slots:
  void text_data() {
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("expected");
    const QString request = QStringLiteral("\r\rPlease email screenshot of this message to support@velmora.example");
    QTest::newRow("plain") << "File not found" << 136
                           << "File not found\r\nin Quorvex2021/08/31.Form1.PushButton3_Click at line 136" + request;
    QTest::newRow("empty description still starts with CR LF")
        << "" << 100 << "\r\nin Quorvex2021/08/31.Form1.PushButton3_Click at line 100" + request;
    QTest::newRow("number without padding") << "x" << 7 << "x\r\nin Quorvex2021/08/31.Form1.PushButton3_Click at line 7" + request;
  }
  void text() {
    QFETCH(QString, description);
    QFETCH(int, step);
    QFETCH(QString, expected);
    QCOMPARE(platform::ErrorReportText(description, kLocation, step), expected);
  }

  void box_has_title_and_warning_icon() {
    ScriptedDialogs dialogs;
    dialogs.SetAppTitle(QStringLiteral("Mailvane"));
    platform::ShowErrorReport(dialogs, kLocation, QStringLiteral("Boom"), 104);
    QCOMPARE(dialogs.messages.size(), size_t{1});
    QCOMPARE(dialogs.messages[0].title, QStringLiteral("Application Error"));
    QCOMPARE(dialogs.messages[0].icon, platform::MessageIcon::kWarning);
    QVERIFY(!dialogs.messages[0].yes_no);
  }

  // Two failing steps give two reports in order, and the procedure goes on to
  // its last step.
  void failing_steps_are_reported_and_skipped() {
    ScriptedDialogs dialogs;
    platform::Guard guard(dialogs, kLocation);
    QStringList ran;
    guard.Step(100, [&] { ran << "100"; });
    guard.Step(102, [&] {
      FailDeepInside();
      ran << "102 rest";
    });
    guard.Step(104, [&] { throw std::runtime_error("Overflow"); });
    guard.Step(106, [&] { ran << "106"; });
    QCOMPARE(ran, QStringList({"100", "106"}));
    QCOMPARE(dialogs.messages.size(), size_t{2});
    QCOMPARE(dialogs.messages[0].text, platform::ErrorReportText("File not found", kLocation, 102));
    QCOMPARE(dialogs.messages[1].text, platform::ErrorReportText("Overflow", kLocation, 104));
  }

  // A failing condition counts as met; a failing early-exit test does not leave.
  void conditions_data() {
    QTest::addColumn<bool>("exit_test");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<bool>("value");
    QTest::addColumn<bool>("expected");
    QTest::newRow("if true") << false << false << true << true;
    QTest::newRow("if false") << false << false << false << false;
    QTest::newRow("if failing runs its body") << false << true << false << true;
    QTest::newRow("exit true") << true << false << true << true;
    QTest::newRow("exit failing goes on after the test") << true << true << true << false;
  }
  void conditions() {
    QFETCH(bool, exit_test);
    QFETCH(bool, fails);
    QFETCH(bool, value);
    QFETCH(bool, expected);
    ScriptedDialogs dialogs;
    platform::Guard guard(dialogs, kLocation);
    auto test = [&]() -> bool {
      if (fails) throw platform::Failure("Type mismatch");
      return value;
    };
    const bool result = exit_test ? guard.ExitIf(142, test) : guard.If(142, test);
    QCOMPARE(result, expected);
    QCOMPARE(dialogs.messages.size(), size_t{fails ? 1u : 0u});
  }
};

QTEST_GUILESS_MAIN(ErrorReportTest)
#include "error_report_test.moc"
