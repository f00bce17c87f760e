// The runner's wait: bar steps, exit codes, start failures, the counting on
// the bar, and ending a program that is being waited for; and the Windows
// command line.
#include "conversion/tool_runner.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "platform/child_process.h"
#include "tests/conversion/fake_progress.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_dir.h"

using conversion::RunAndWait;
using namespace std::chrono_literals;
using Args = std::vector<std::string>;

namespace {

TEST(ToolRunner, BarSteps) {
  struct Case { int start, total, step, cap; };
  const Case cases[] = {
      {25, 4, 2, 48},    // item 1 of 4, tie to even
      {100, 1, 10, 190}, // one item, cap above 100
      {33, 3, 3, 63},    {100, 2, 5, 145},
      {1, 200, 0, 2},    // many items, no step
      {100, 0, 10, 190}, // total 0 counts as 1
  };
  for (const Case& c : cases) {
    const conversion::BarSteps steps = conversion::BarStepsFor(c.start, c.total);
    EXPECT_EQ(steps.step, c.step);
    EXPECT_EQ(steps.cap, c.cap);
  }
}

// Each argument comes back unchanged through the C runtime's splitting (the
// rows of windows_tool_test): backslashes count only before a quote.
TEST(ToolRunner, WindowsCommandLine) {
  const std::pair<Args, std::string> cases[] = {
      {{"C:\\Mail\\a.msg", "C:\\Out\\"}, R"("C:\t\Quorvex.exe" C:\Mail\a.msg C:\Out\)"},
      {{"C:\\Mail Box\\a b.msg", "C:\\Mail Out\\"}, R"("C:\t\Quorvex.exe" "C:\Mail Box\a b.msg" "C:\Mail Out\\")"},
      {{"\\\\server\\share\\x.msg", "\\\\server\\out\\"}, R"("C:\t\Quorvex.exe" \\server\share\x.msg \\server\out\)"},
      {{"", "a\"b"}, R"("C:\t\Quorvex.exe" "" "a\"b")"},
      {{"a\\\"b c", "tab\there"}, "\"C:\\t\\Quorvex.exe\" \"a\\\\\\\"b c\" \"tab\there\""},
      {{"\xd0\x9f\xd0\xb8\xd1\x81\xd1\x8c\xd0\xbc\xd0\xbe \xe6\x96\x87.msg"},
       "\"C:\\t\\Quorvex.exe\" \"\xd0\x9f\xd0\xb8\xd1\x81\xd1\x8c\xd0\xbc\xd0\xbe \xe6\x96\x87.msg\""},
  };
  for (const auto& [arguments, line] : cases) {
    EXPECT_EQ(platform::WindowsCommandLine("C:\\t\\Quorvex.exe", arguments), line);
  }
}

#ifndef _WIN32
// A pump that hands every yield to a callback (to end a waiting child at a
// chosen cycle) and counts them.
class CallbackPump : public platform::EventPump {
 public:
  void Yield() override {
    ++yields;
    if (on_yield) on_yield();
  }
  int yields = 0;
  std::function<void()> on_yield;
};

// A child that waits until `release` exists.
Args WaitFor(const std::string& release) {
  return {"-c", "while [ ! -e \"$0\" ]; do sleep 0.002; done", release};
}

void Release(const std::string& release) {
  if (!std::filesystem::exists(release)) testing_support::WriteFile(release, "");
}

TEST(ToolRunner, ExitCodes) {
  const std::pair<std::string, int> cases[] = {
      {"exit 0", 0}, {"exit 7", 7}, {"yes | head -c 1000000; exit 2", 2},  // output nobody reads
      {"kill -9 $$", 128 + 9},
  };
  for (const auto& [script, expected] : cases) {
    FakeProgress bar;
    testing_support::ScriptedPump pump;
    EXPECT_EQ(RunAndWait("/bin/sh", {"-c", script}, &bar, "Processing: a.msg", 25, 4, pump, 20ms), expected);
    // No counter before cycle 50; the text is set back once at the end.
    EXPECT_EQ(bar.texts, Args{"Processing: a.msg"});
    EXPECT_TRUE(bar.values.empty());
    // Four yields per cycle with a bar, at least one cycle.
    EXPECT_GE(pump.yields, 4);
    EXPECT_EQ(pump.yields % 4, 0);
  }
}

TEST(ToolRunner, WithoutBarYieldsTwicePerCycle) {
  testing_support::ScriptedPump pump;
  EXPECT_EQ(RunAndWait("/bin/sh", {"-c", "exit 0"}, nullptr, "", 0, 1, pump, 5ms), 0);
  EXPECT_GE(pump.yields, 2);
  EXPECT_EQ(pump.yields % 2, 0);
}

TEST(ToolRunner, CannotStart) {
  for (const bool make_file : {false, true}) {
    testing_support::TempDir dir;
    const std::string program = dir.File("prog");
    if (make_file) {
      ASSERT_TRUE(testing_support::WriteFile(program, "#!/bin/sh\nexit 0\n"));
    }
    FakeProgress bar;
    testing_support::ScriptedPump pump;
    EXPECT_EQ(RunAndWait(program, {}, &bar, "Processing: a.msg", 25, 4, pump, 5ms),
              conversion::kStartFailureBase + (make_file ? EACCES : ENOENT));
    EXPECT_TRUE(bar.texts.empty());
    EXPECT_TRUE(bar.values.empty());
    EXPECT_EQ(pump.yields, 0);
  }
}

TEST(ToolRunner, CountsAndMovesDuringLongWait) {
  // Total 3, start 33: the bar shows 33 at cycle 50, 36 at 200, 39 at 350.
  testing_support::TempDir dir;
  const std::string release = dir.File("release");
  FakeProgress bar;
  CallbackPump pump;
  pump.on_yield = [&] {
    if (bar.text.ends_with("Please wait.. 310")) Release(release);
  };
  // The bar's own text is passed, as the batch run does.
  bar.text = "Processing: a.msg";
  EXPECT_EQ(RunAndWait("/bin/sh", WaitFor(release), &bar, bar.text, 33, 3, pump, 1ms), 0);
  EXPECT_EQ(bar.values, (std::vector<double>{33, 36, 39}));
  // Counted cycle by cycle from 0, then set back.
  ASSERT_GT(bar.texts.size(), 312u);
  for (size_t i = 0; i + 1 < bar.texts.size(); ++i) {
    ASSERT_EQ(bar.texts[i], "Processing: a.msg, Please wait.. " + std::to_string(i));
  }
  EXPECT_EQ(bar.texts.back(), "Processing: a.msg");
  EXPECT_EQ(bar.text, "Processing: a.msg");
}

TEST(ToolRunner, StopsAtCap) {
  // Total 6, start 0: step 2, cap 15, so 0, 2, ..., 14 and then 15.
  testing_support::TempDir dir;
  const std::string release = dir.File("release");
  FakeProgress bar;
  CallbackPump pump;
  pump.on_yield = [&] {
    if (bar.text.ends_with("Please wait.. 1210")) Release(release);
  };
  EXPECT_EQ(RunAndWait("/bin/sh", WaitFor(release), &bar, "x", 0, 6, pump, 0ms), 0);
  // With a zero cycle the child notices the release some cycles late; every
  // later move stays at the cap.
  const std::vector<double> expected{0, 2, 4, 6, 8, 10, 12, 14, 15};
  ASSERT_GE(bar.values.size(), expected.size());
  for (size_t i = 0; i < bar.values.size(); ++i) {
    EXPECT_EQ(bar.values[i], i < expected.size() ? expected[i] : 15.0);
  }
}

TEST(ToolRunner, EmptyTextCountsAlone) {
  testing_support::TempDir dir;
  const std::string release = dir.File("release");
  FakeProgress bar;
  CallbackPump pump;
  pump.on_yield = [&] {
    if (bar.text == "Please wait.. 3") Release(release);
  };
  EXPECT_EQ(RunAndWait("/bin/sh", WaitFor(release), &bar, "", 100, 1, pump, 1ms), 0);
  ASSERT_GE(bar.texts.size(), 5u);
  EXPECT_EQ(bar.texts.front(), "Please wait.. 0");
  EXPECT_EQ(bar.texts[1], "Please wait.. 1");
  EXPECT_EQ(bar.texts.back(), "Progress Bar");
  EXPECT_EQ(bar.values.front(), 100.0);
}

TEST(ToolRunner, WaitEndsWhenProcessEnds) {
  // A ten-second cycle: the wait must still end soon after the child does.
  FakeProgress bar;
  testing_support::ScriptedPump pump;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunAndWait("/bin/sh", {"-c", "sleep 0.05; exit 4"}, &bar, "t", 0, 1, pump, 10s), 4);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

// A program that ignores the request to stop is killed after the grace time.
TEST(ToolRunner, EndingTheRunningToolKillsOneThatIgnoresTerm) {
  conversion::RunningTool running;
  CallbackPump pump;
  pump.on_yield = [&] {
    if (pump.yields == 1) running.End(200ms);
  };
  const auto start = std::chrono::steady_clock::now();
  // Short sleeps, so nothing outlives the killed shell for long.
  const std::string script = "trap '' TERM; i=0; while [ $i -lt 2000 ]; do sleep 0.01; i=$((i+1)); done";
  RunAndWait("/bin/sh", {"-c", script}, nullptr, {}, 0, 1, pump, 20ms, &running);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}
#endif

}  // namespace
