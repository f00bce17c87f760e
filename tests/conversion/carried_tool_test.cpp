// The carried tool is the built one, and runs once written out.
#include "conversion/carried_tool.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/child_process.h"
#include "conversion/tool_place.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(CarriedTool, IsTheBuiltToolAndRuns) {
  const std::span<const std::byte> image = conversion::CarriedToolImage();
  const std::string built = testing_support::ReadFile(QUORVEX_PATH);
  ASSERT_EQ(image.size(), built.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), reinterpret_cast<const std::byte*>(built.data())));
  EXPECT_EQ(built.substr(0, 4), "\x7f" "ELF");

  testing_support::TempDir dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0700), 0);
  testing_support::ScriptedPump pump;
  const std::string path = conversion::PlaceTool(image, dir.Path(), pump);
  platform::ChildProcess process;
  ASSERT_EQ(process.Start(path, {}), 0);
  while (process.Running()) process.WaitFor(std::chrono::milliseconds(100));
  // Without arguments the tool prints its usage line and exits with 0.
  EXPECT_EQ(process.ExitCode(), 0);
}

}  // namespace
