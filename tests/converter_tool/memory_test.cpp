// The built quorvex when memory runs out part way: whatever the point of failure,
// the output folder holds either the finished .eml or nothing (no temporary file),
// and the tool says why in its one line.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>

#include "tests/converter_tool/tool_test_util.h"
#include "tools/msg_fixture/msg_writer.h"

namespace {

using tool_test::ListDir;
using tool_test::RunTool;
using tool_test::TempDir;

std::vector<uint8_t> RandomBytes(size_t n) {
  std::mt19937_64 rng(7);
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; i += 8) {
    const uint64_t v = rng();
    std::memcpy(out.data() + i, &v, std::min<size_t>(8, n - i));
  }
  return out;
}

TEST(ToolMemoryTest, RunningOutOfMemoryLeavesTheEmlOrNothing) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's shadow memory is far beyond any cap";
#endif
  TempDir in;
  msg_fixture::FixtureMessage m;
  m.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, "Numbers").Long(0x3FDE, 65001);
  m.props.Time(0x0039, msg_fixture::FileTime(2026, 3, 14, 15, 9, 26));
  msg_fixture::SetSmtpSender(m.props, "Dana Whitfield", "dana@example.com");
  m.props.Unicode(0x1000, "The figures are attached.\r\n");
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Marek Novak", "marek@example.org"));
  m.attachments.push_back(msg_fixture::FileAttachment("figures.bin", "application/octet-stream", RandomBytes(1u << 20)));
  const std::string msg = in.path() + "/numbers.msg";
  const auto image = msg_fixture::WriteMsg(m, {.version = 3});
  std::ofstream(msg, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.bytes.data()), static_cast<std::streamsize>(image.bytes.size()));

  // Caps on private memory from "fails early" to "enough", in steps of 64 KiB: in
  // between, the allocation that fails comes after the temporary file exists (its
  // write buffer, the encoder, the attachment's sector chain). Below 384 KiB the
  // program loader itself gives up, before any code of ours runs.
  int failed = 0, converted = 0;
  for (rlim_t kib = 384; kib <= 3072; kib += 64) {
    TempDir out;
    const tool_test::ToolResult r = RunTool({msg, out.path()}, 0, kib << 10);
    EXPECT_EQ(r.exit_code, 0) << kib << " KiB: " << r.output;
    const std::set<std::string> names = ListDir(out.path());
    if (names.empty()) {
      ++failed;
      EXPECT_EQ(r.output, "Not enough memory to convert the message\n") << kib << " KiB";
    } else {
      ++converted;
      ASSERT_EQ(names.size(), 1u) << kib << " KiB";
      EXPECT_TRUE(names.begin()->ends_with(".eml") && names.begin()->front() != '.') << *names.begin();
      EXPECT_EQ(r.output, "") << kib << " KiB";
    }
  }
  EXPECT_GT(failed, 0);
  EXPECT_GT(converted, 0);
}

}  // namespace
