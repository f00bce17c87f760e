// The one error report: its exact text, its box, and how a guarded procedure
// goes on after a failing step.
#include "platform/error_report.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/support/scripted_dialogs.h"

using testing_support::ScriptedDialogs;

namespace {

const std::string kLocation = "in Quorvex2021/08/31.Form1.PushButton3_Click ";
const std::string kRequest = "\r\rPlease email screenshot of this message to support@velmora.example";

[[noreturn]] void FailDeepInside() { throw platform::Failure("File not found"); }

TEST(ErrorReport, Text) {
  struct Case { std::string description; int step; std::string expected; };
  const Case cases[] = {
      {"File not found", 136, "File not found\r\nin Quorvex2021/08/31.Form1.PushButton3_Click at line 136" + kRequest},
      {"", 100, "\r\nin Quorvex2021/08/31.Form1.PushButton3_Click at line 100" + kRequest},
      {"x", 7, "x\r\nin Quorvex2021/08/31.Form1.PushButton3_Click at line 7" + kRequest},
      // Descriptions are UTF-8 and pass unchanged.
      {"\xd0\x9d\xd0\xb5\xd1\x82 \xe6\x96\x87", 102,
       "\xd0\x9d\xd0\xb5\xd1\x82 \xe6\x96\x87\r\nin Quorvex2021/08/31.Form1.PushButton3_Click at line 102" + kRequest},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::ErrorReportText(c.description, kLocation, c.step), c.expected);
  }
  EXPECT_EQ(platform::ProcedureLocation("Quorvex", "Form1", "Form_Load"),
            "in Quorvex2021/08/31.Form1.Form_Load ");
}

TEST(ErrorReport, BoxHasTitleAndWarningIcon) {
  ScriptedDialogs dialogs;
  dialogs.SetAppTitle("Mailvane");
  platform::ShowErrorReport(dialogs, kLocation, "Boom", 104);
  ASSERT_EQ(dialogs.messages.size(), size_t{1});
  EXPECT_EQ(dialogs.messages[0].title, "Application Error");
  EXPECT_EQ(dialogs.messages[0].icon, platform::MessageIcon::kWarning);
  EXPECT_FALSE(dialogs.messages[0].yes_no);
}

// Two failing steps give two reports in order, and the procedure goes on to
// its last step.
TEST(ErrorReport, FailingStepsAreReportedAndSkipped) {
  ScriptedDialogs dialogs;
  platform::Guard guard(dialogs, kLocation);
  std::vector<std::string> ran;
  guard.Step(100, [&] { ran.push_back("100"); });
  guard.Step(102, [&] {
    FailDeepInside();
    ran.push_back("102 rest");
  });
  guard.Step(104, [&] { throw std::runtime_error("Overflow"); });
  guard.Step(106, [&] { ran.push_back("106"); });
  EXPECT_EQ(ran, (std::vector<std::string>{"100", "106"}));
  ASSERT_EQ(dialogs.messages.size(), size_t{2});
  EXPECT_EQ(dialogs.messages[0].text, platform::ErrorReportText("File not found", kLocation, 102));
  EXPECT_EQ(dialogs.messages[1].text, platform::ErrorReportText("Overflow", kLocation, 104));
}

// A failing condition counts as met; a failing early-exit test does not leave.
TEST(ErrorReport, Conditions) {
  struct Case { bool exit_test, fails, value, expected; };
  const Case cases[] = {
      {false, false, true, true},  {false, false, false, false}, {false, true, false, true},
      {true, false, true, true},   {true, true, true, false},
  };
  for (const Case& c : cases) {
    ScriptedDialogs dialogs;
    platform::Guard guard(dialogs, kLocation);
    auto test = [&]() -> bool {
      if (c.fails) throw platform::Failure("Type mismatch");
      return c.value;
    };
    EXPECT_EQ(c.exit_test ? guard.ExitIf(142, test) : guard.If(142, test), c.expected);
    EXPECT_EQ(dialogs.messages.size(), size_t{c.fails ? 1u : 0u});
  }
}

}  // namespace
