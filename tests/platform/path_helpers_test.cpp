// Path helpers: the text procedures in both styles (drive letters, network
// prefixes, trailing separators) and the file-system procedures on this system.
#include "platform/path_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/error_report.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/separator.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using platform::PathStyle;

namespace {

constexpr auto w = PathStyle::kWindows;
constexpr auto p = PathStyle::kPosix;

using testing_support::TempDir;
using testing_support::U8Path;

bool WriteFile(const std::string& path, const std::string& bytes) {
  return testing_support::WriteFile(U8Path(path), bytes);
}

TEST(PathHelpers, CollapseBackslashes) {
  struct Case { PathStyle style; std::string path, expected; };
  const Case cases[] = {
      {w, R"(\\srv\share\\a.eml)", R"(\\srv\share\a.eml)"},
      {w, R"(\\\srv\a)", R"(\\srv\a)"},
      {w, R"(\srv\a)", R"(\\srv\a)"},  // one leading becomes a network prefix
      {w, R"(\\\\srv\x)", R"(\\srv\x)"},
      {w, R"(\a)", R"(\\a)"},
      {w, R"(C:\Out\\a.eml)", R"(C:\Out\a.eml)"},
      {w, R"(C:\Out\a.eml)", R"(C:\Out\a.eml)"},
      {w, R"(C:\a\\\b)", R"(C:\a\\b)"},  // a run of three is one pass
      {w, R"(C:\a\\\\b)", R"(C:\a\\b)"},
      {w, R"(C:\a\\)", R"(C:\a\)"},  // trailing pair
      {w, R"(C:\)", R"(C:\)"},
      {w, "", ""},
      {w, R"(\)", R"(\\)"},
      {w, R"(\\\\\)", R"(\\)"},
      {w, "a//b", "a//b"},
      {w, R"(D:\Out\\Report.final.eml)", R"(D:\Out\Report.final.eml)"},
      {w, "C:\\\xd0\x9f\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0\\\\\xe6\x96\x87.eml",
       "C:\\\xd0\x9f\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0\\\xe6\x96\x87.eml"},
      {p, "/a//b", "/a/b"},
      {p, "///a", "/a"},
      {p, "//a//b", "/a/b"},
      {p, "a///b", "a//b"},
      {p, "a////b", "a//b"},
      {p, "/", "/"},
      {p, "////", "/"},
      {p, "", ""},
      {p, "out/x.eml", "out/x.eml"},
      {p, R"(/a\\b)", R"(/a\\b)"},
      {p, "/out//x.eml", "/out/x.eml"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::CollapseBackslashes(c.path, c.style), c.expected) << c.path;
  }
}

TEST(PathHelpers, SplitPath) {
  struct Case { PathStyle style; std::string path, folder, name; };
  const Case cases[] = {
      {w, R"(C:\Mail\a.msg)", R"(C:\Mail\)", "a.msg"},
      {w, R"(C:\a.msg)", R"(C:\)", "a.msg"},
      {w, R"(C:a.msg)", "", "C:a.msg"},
      {w, R"(\\srv\share\a.msg)", R"(\\srv\share\)", "a.msg"},
      {w, R"(\\srv\share)", R"(\\srv\)", "share"},
      {w, "a.msg", "", "a.msg"},
      {w, R"(C:\Mail\)", R"(C:\Mail\)", ""},
      {w, "C:/Mail/a.msg", "", "C:/Mail/a.msg"},
      {w, "", "", ""},
      {p, "/home/u/a.msg", "/home/u/", "a.msg"},
      {p, "/a.msg", "/", "a.msg"},
      {p, "a.msg", "", "a.msg"},
      {p, "/home/u/", "/home/u/", ""},
      {p, R"(/m/a\b.msg)", "/m/", R"(a\b.msg)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::FolderOf(c.path, c.style), c.folder) << c.path;
    EXPECT_EQ(platform::FileNameOf(c.path, c.style), c.name) << c.path;
  }
}

TEST(PathHelpers, TrailingSeparator) {
  const std::string sep(1, testing_support::kSep);
  struct Case { std::string path, with; };
  const std::vector<Case> cases = {
      {"", ""},  // empty text names no folder: nothing is added
      {"out", "out" + sep},
      {"out" + sep, "out" + sep},
      {sep, sep},
      {"out/", "out/"},  // '/' ends a folder on both systems
#ifdef _WIN32
      {R"(C:\)", R"(C:\)"},
#else
      {R"(out\)", R"(out\/)"},  // a backslash is part of a POSIX name
#endif
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::WithTrailingSeparator(c.path), c.with) << c.path;
    EXPECT_EQ(platform::EndsWithSeparator(c.path), !c.path.empty() && c.with == c.path) << c.path;
  }
}

TEST(PathHelpers, StripExtension) {
  const std::pair<std::string, std::string> cases[] = {
      {"Report.final.msg", "Report.final"}, {"a.msg", "a"}, {"a.b.c", "a.b"}, {"abc", "abc"},
      {".msg", ".msg"}, {"a.", "a"}, {".a.b", ".a"}, {"", ""}, {".", "."},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(platform::StripExtension(name), expected);
}

TEST(PathHelpers, ExistsAndFolderTests) {
  TempDir dir;
  const std::string file = dir.File("a.msg");
  ASSERT_TRUE(WriteFile(file, "x"));
  const std::string cyrillic_cjk = dir.File("\xd0\x9f\xd0\xb8\xd1\x81\xd1\x8c\xd0\xbc\xd0\xb0 \xe6\x96\x87");
  fs::create_directory(U8Path(cyrillic_cjk));
  const char sep = testing_support::kSep;
  const std::string deep = dir.File(testing_support::DeepFolders(sep));
  fs::create_directories(U8Path(deep));
  const std::string deep_file = deep + sep + "a.msg";
  ASSERT_TRUE(WriteFile(deep_file, "x"));
  struct Case { std::string path; bool exists, folder; };
  const Case cases[] = {
      {file, true, false},
      {dir.Path(), true, true},
      {dir.Path() + sep, true, true},
      {cyrillic_cjk, true, true},
      {deep, true, true},
      {deep_file, true, false},
      {deep + sep + "missing", false, false},
      {dir.File("missing"), false, false},
      {"", false, false},
      {std::string("a\0b", 3), false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::PathExists(c.path), c.exists) << c.path;
    EXPECT_EQ(platform::IsFolder(c.path), c.folder) << c.path;
  }
}

TEST(PathHelpers, RemoveFileDeletesPlainAndReadOnlyFiles) {
  TempDir dir;
  const char sep = platform::SeparatorOf(platform::kNativePathStyle);
  const std::string deep = dir.File(testing_support::DeepFolders(sep));
  fs::create_directories(U8Path(deep));
  for (const fs::perms mode : {fs::perms::owner_read | fs::perms::owner_write, fs::perms::owner_read}) {
    const std::string file = deep + sep + "t.eml";
    ASSERT_TRUE(WriteFile(file, "old"));
    fs::permissions(U8Path(file), mode);
    testing_support::ScriptedPump pump;
    platform::RemoveFile(file, pump);
    EXPECT_FALSE(fs::exists(U8Path(file)));
    EXPECT_EQ(pump.yields, 1);
  }
}

TEST(PathHelpers, RemoveFileIsQuietAboutWhatItCannotDelete) {
  TempDir dir;
  testing_support::ScriptedPump pump;
  platform::RemoveFile(dir.File("missing"), pump);
  platform::RemoveFile("", pump);
  const std::string folder = dir.File("sub");
  fs::create_directory(folder);
  platform::RemoveFile(folder, pump);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(pump.yields, 3);
}

TEST(PathHelpers, ForceDeleteFileFailsWithDescription) {
  TempDir dir;
  try {
    platform::ForceDeleteFile(dir.File("missing"));
    ADD_FAILURE() << "no failure for a missing file";
  } catch (const platform::Failure& failure) {
    EXPECT_FALSE(std::string(failure.what()).empty());
  }
}

#ifndef _WIN32
TEST(PathHelpers, RemoveFileRemovesLinkNotTarget) {
  TempDir dir;
  const std::string target = dir.File("target");
  ASSERT_TRUE(WriteFile(target, "keep"));
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
  const std::string link = dir.File("link.eml");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  testing_support::ScriptedPump pump;
  platform::RemoveFile(link, pump);
  EXPECT_FALSE(fs::is_symlink(link));
  struct stat info;
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0444u);
}

TEST(PathHelpers, ForceDeleteFileFailsInReadOnlyFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  TempDir dir;
  const std::string folder = dir.File("locked");
  fs::create_directory(folder);
  const std::string file = folder + "/a";
  ASSERT_TRUE(WriteFile(file, "x"));
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  EXPECT_THROW(platform::ForceDeleteFile(file), platform::Failure);
  testing_support::ScriptedPump pump;
  platform::RemoveFile(file, pump);  // quiet
  EXPECT_TRUE(fs::exists(file));
  ::chmod(folder.c_str(), 0755);
}
#endif

}  // namespace
