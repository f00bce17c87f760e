// Root reads, writes and lists everything, so permission cases run again as an
// unprivileged user: the test binary re-executes the one test through setpriv,
// and the root run checks that the child passed.
#pragma once

#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace testing_support {

struct RerunResult {
  bool needed = false;   // we are root: the body ran (or should have run) in a child
  bool skipped = false;  // no way to drop privileges here
  bool passed = false;
  std::string output;
};

inline RerunResult RerunUnprivileged() {
  RerunResult result;
  if (::geteuid() != 0) return result;
  result.needed = true;
  const passwd* user = ::getpwnam("nobody");
  const group* grp = ::getgrnam("nogroup");
  if (grp == nullptr) grp = ::getgrnam("nobody");
  if (user == nullptr || grp == nullptr || ::access("/usr/bin/setpriv", X_OK) != 0) {
    result.skipped = true;
    result.output = "no setpriv or no unprivileged user/group";
    return result;
  }
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return result;
  self[n] = '\0';
  // Test names and the binary's path hold no quotes.
  const std::string command = "/usr/bin/setpriv --reuid=" + std::to_string(user->pw_uid) +
                              " --regid=" + std::to_string(grp->gr_gid) + " --clear-groups '" + self +
                              "' --gtest_filter='" + info->test_suite_name() + "." + info->name() +
                              "' 2>&1";
  FILE* child = ::popen(command.c_str(), "r");
  if (child == nullptr) return result;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, child)) > 0) result.output.append(buffer, got);
  const int status = ::pclose(child);
  result.passed = status == 0 && result.output.find("[  PASSED  ] 1 test") != std::string::npos;
  return result;
}

}  // namespace testing_support

// Use first in a test that needs an unprivileged user. As root it runs the same
// test in a child as "nobody", checks the child passed and returns.
#define RUN_AS_UNPRIVILEGED_USER()                                   \
  do {                                                               \
    const auto rerun = testing_support::RerunUnprivileged();         \
    if (rerun.skipped) GTEST_SKIP() << rerun.output;                 \
    if (rerun.needed) {                                              \
      EXPECT_TRUE(rerun.passed) << rerun.output;                     \
      return;                                                        \
    }                                                                \
  } while (false)
