// A program started with pipes: what goes in comes out, its end is seen by a
// blocked reader when another thread kills it, and writing to a program that has
// ended fails instead of ending the writer.
#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

using Console = platform::ChildProcess::Console;

#ifndef _WIN32
std::string ReadAll(platform::ChildProcess& process) {
  std::string text;
  char buffer[256];
  long got;
  while ((got = process.ReadOutput(buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
  return text;
}

TEST(ChildProcessPipes, EchoKillAndBrokenInput) {
  platform::ChildProcess echo;
  ASSERT_EQ(echo.Start("cat", {}, Console::kPipes), 0);
  const std::string text(100000, 'x');  // more than a pipe holds
  std::thread writer([&] {
    EXPECT_TRUE(echo.WriteInput(text.data(), text.size()));
    echo.CloseInput();
  });
  EXPECT_EQ(ReadAll(echo), text);
  writer.join();
  echo.WaitFor(std::chrono::seconds(10));
  EXPECT_FALSE(echo.Running());
  EXPECT_EQ(echo.ExitCode(), 0);

  platform::ChildProcess hung;
  ASSERT_EQ(hung.Start("sleep", {"60"}, Console::kPipes), 0);
  std::thread watchdog([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    hung.Kill();
  });
  EXPECT_EQ(ReadAll(hung), "");
  watchdog.join();
  hung.WaitFor(std::chrono::seconds(10));
  EXPECT_FALSE(hung.Running());
  EXPECT_EQ(hung.ExitCode(), 128 + 9);
  // Its input has no reader now.
  EXPECT_FALSE(hung.WriteInput(text.data(), text.size()));
}
#endif

}  // namespace
