// Writing the carried tool out: fresh, reused, replaced, and the folders and
// links it refuses.
#include "conversion/tool_place.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/error_report.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

const std::string kImageText = "#!/bin/sh\nexit 0\n";

std::span<const std::byte> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(testing_support::U8Path(folder))) {
    names.push_back(testing_support::U8Text(entry.path().filename()));
  }
  return names;
}

// Fresh, then reused when the bytes are the same, replaced when they are not.
TEST(ToolPlace, WritesReusesAndReplaces) {
  TempDir dir;
  const std::string folder = dir.File("private");
  fs::create_directory(testing_support::U8Path(folder));
#ifndef _WIN32
  ::chmod(folder.c_str(), 0700);
#endif
  testing_support::ScriptedPump pump;
  const std::string path = conversion::PlaceTool(Bytes(kImageText), folder, pump);
  EXPECT_EQ(path, testing_support::U8Text(testing_support::U8Path(folder) / conversion::kToolFileName));
  EXPECT_EQ(ReadFile(path), kImageText);
  EXPECT_EQ(pump.yields, 1);
  // No temporary file is left beside it.
  EXPECT_EQ(Entries(folder), std::vector<std::string>{conversion::kToolFileName});
  for (const std::string& planted : {kImageText, std::string("#!/bin/sh\nexit 1\n"), kImageText + "extra",
                                    kImageText.substr(0, 5)}) {
    ASSERT_TRUE(testing_support::WriteFile(path, planted));
    EXPECT_EQ(conversion::PlaceTool(Bytes(kImageText), folder, pump), path);
    EXPECT_EQ(ReadFile(path), kImageText);
  }
  EXPECT_EQ(Entries(folder), std::vector<std::string>{conversion::kToolFileName});
  EXPECT_THROW(conversion::PlaceTool(Bytes(kImageText), dir.File("missing"), pump), platform::Failure);
}

#ifndef _WIN32
struct stat LStat(const std::string& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info;
}

bool WriteFile(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
  return testing_support::WriteFile(path, bytes) && ::chmod(path.c_str(), mode) == 0;
}

// A folder with exactly this mode inside a temporary one.
std::string MakeFolder(const TempDir& dir, const std::string& name, mode_t mode) {
  const std::string folder = dir.File(name);
  if (::mkdir(folder.c_str(), mode) != 0) return {};
  ::chmod(folder.c_str(), mode);
  return folder;
}

// Restores an environment variable when the test ends.
struct SavedVariable {
  std::string name;
  bool had;
  std::string value;
  explicit SavedVariable(std::string n) : name(std::move(n)) {
    const char* v = std::getenv(name.c_str());
    had = v != nullptr;
    value = had ? v : "";
  }
  ~SavedVariable() {
    if (had) {
      ::setenv(name.c_str(), value.c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
};

TEST(ToolPlace, FreshToolIsTheOwnersOnly) {
  TempDir dir;
  const std::string folder = MakeFolder(dir, "private", 0700);
  testing_support::ScriptedPump pump;
  const std::string path = conversion::PlaceTool(Bytes(kImageText), folder, pump);
  EXPECT_EQ(path, folder + "/quorvex");
  EXPECT_EQ(LStat(path).st_mode & 07777, mode_t(0700));
}

TEST(ToolPlace, ReusesIdenticalLeftover) {
  TempDir dir;
  const std::string folder = MakeFolder(dir, "private", 0700);
  const std::string path = folder + "/quorvex";
  ASSERT_TRUE(WriteFile(path, kImageText, 0755));
  const ino_t inode = LStat(path).st_ino;
  testing_support::ScriptedPump pump;
  EXPECT_EQ(conversion::PlaceTool(Bytes(kImageText), folder, pump), path);
  EXPECT_EQ(LStat(path).st_ino, inode);
  EXPECT_EQ(LStat(path).st_mode & 07777, mode_t(0700));
}

TEST(ToolPlace, ReplacesDifferentFile) {
  const std::pair<std::string, mode_t> cases[] = {
      {"#!/bin/sh\ntouch pwned\n", 0755}, {"#!/bin/sh\nexit 1\n", 0700}, {kImageText + "extra", 0700},
      {kImageText.substr(0, 5), 0700},    {"x", 0000},  // unreadable
  };
  for (const auto& [planted, mode] : cases) {
    TempDir dir;
    const std::string folder = MakeFolder(dir, "private", 0700);
    const std::string path = folder + "/quorvex";
    ASSERT_TRUE(WriteFile(path, planted, mode));
    const ino_t inode = LStat(path).st_ino;
    testing_support::ScriptedPump pump;
    EXPECT_EQ(conversion::PlaceTool(Bytes(kImageText), folder, pump), path);
    EXPECT_EQ(ReadFile(path), kImageText);
    EXPECT_NE(LStat(path).st_ino, inode);  // replaced by rename, not rewritten
    EXPECT_EQ(LStat(path).st_mode & 07777, mode_t(0700));
  }
}

TEST(ToolPlace, RefusesLinkInPlace) {
  for (const bool dangling : {false, true}) {
    TempDir dir;
    const std::string folder = MakeFolder(dir, "private", 0700);
    const std::string aimed_at = dir.File("elsewhere");
    if (!dangling) {
      ASSERT_TRUE(WriteFile(aimed_at, "victim"));
    }
    ASSERT_EQ(::symlink(aimed_at.c_str(), (folder + "/quorvex").c_str()), 0);
    testing_support::ScriptedPump pump;
    EXPECT_THROW(conversion::PlaceTool(Bytes(kImageText), folder, pump), platform::Failure);
    EXPECT_TRUE(fs::is_symlink(folder + "/quorvex"));
    if (dangling) {
      EXPECT_FALSE(fs::exists(aimed_at));
    } else {
      EXPECT_EQ(ReadFile(aimed_at), "victim");
    }
  }
}

TEST(ToolPlace, RefusesFolderThatIsNotPrivate) {
  TempDir dir;
  testing_support::ScriptedPump pump;
  const std::string open_folder = MakeFolder(dir, "open", 0777);
  EXPECT_THROW(conversion::PlaceTool(Bytes(kImageText), open_folder, pump), platform::Failure);
  EXPECT_FALSE(fs::exists(open_folder + "/quorvex"));
  const std::string group_folder = MakeFolder(dir, "group", 0770);
  EXPECT_THROW(conversion::PlaceTool(Bytes(kImageText), group_folder, pump), platform::Failure);
  const std::string real = MakeFolder(dir, "real", 0700);
  ASSERT_EQ(::symlink(real.c_str(), dir.File("linked").c_str()), 0);
  EXPECT_THROW(conversion::PlaceTool(Bytes(kImageText), dir.File("linked"), pump), platform::Failure);
  EXPECT_FALSE(fs::exists(real + "/quorvex"));
}

TEST(ToolPlace, PrivateFolderUnderTemp) {
  TempDir dir;
  SavedVariable runtime("XDG_RUNTIME_DIR"), tmp("TMPDIR");
  ::unsetenv("XDG_RUNTIME_DIR");
  ::setenv("TMPDIR", dir.Path().c_str(), 1);
  const std::string expected = dir.File("mailvane-" + std::to_string(::geteuid()));

  const std::string folder = conversion::PrivateToolFolder();
  EXPECT_EQ(fs::canonical(folder), fs::canonical(expected));
  EXPECT_EQ(LStat(expected).st_mode & 07777, mode_t(0700));
  EXPECT_EQ(conversion::PrivateToolFolder(), folder);  // an existing one is kept

  // Someone else's preparation is refused: a folder others may write to, a link.
  ASSERT_EQ(::chmod(expected.c_str(), 0777), 0);
  EXPECT_THROW(conversion::PrivateToolFolder(), platform::Failure);
  fs::remove_all(expected);
  const std::string decoy = MakeFolder(dir, "decoy", 0700);
  ASSERT_EQ(::symlink(decoy.c_str(), expected.c_str()), 0);
  EXPECT_THROW(conversion::PrivateToolFolder(), platform::Failure);
}

TEST(ToolPlace, PrivateFolderInRuntimeFolder) {
  TempDir dir;
  const std::string runtime_folder = MakeFolder(dir, "runtime", 0700);
  SavedVariable runtime("XDG_RUNTIME_DIR");
  ::setenv("XDG_RUNTIME_DIR", runtime_folder.c_str(), 1);
  const std::string folder = conversion::PrivateToolFolder();
  EXPECT_EQ(folder, runtime_folder + "/mailvane");
  EXPECT_EQ(LStat(folder).st_mode & 07777, mode_t(0700));
}
#endif

}  // namespace
