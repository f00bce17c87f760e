// Walking folder trees: the order, the names left out, links, folders that
// cannot be read or go away, and the folder picker.
#include "intake/subdirectories.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "intake/folder_picker.h"
#include "intake/folder_scan.h"
#include "platform/error_report.h"
#include "tests/support/separator.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/unprivileged.h"
#endif

namespace fs = std::filesystem;
using testing_support::ScriptedDialogs;
using testing_support::ScriptedPump;
using testing_support::TempDir;
using testing_support::U8Path;
using Folders = std::vector<std::string>;

namespace {

using testing_support::kSep;

// "a/b" with the system's separator.
std::string Native(std::string path) {
  for (char& c : path) {
    if (c == '/') c = kSep;
  }
  return path;
}

void MakeFolders(const TempDir& dir, const Folders& relative) {
  for (const std::string& r : relative) fs::create_directories(U8Path(dir.File(Native(r))));
}

Folders Walk(Folders folders, bool recurse, ScriptedDialogs& dialogs, ScriptedPump& pump) {
  intake::GetSubDirectories2016(folders, recurse, dialogs, pump);
  return folders;
}

Folders Under(const std::string& base, const Folders& relative) {
  Folders out;
  for (const std::string& r : relative) out.push_back(base + Native(r));
  return out;
}

TEST(SubDirectories, WalksBreadthFirst) {
  TempDir dir;
  MakeFolders(dir, {"data/b", "data/a/a1", "data/B2/deep/deeper"});
  const std::string base = dir.Path() + kSep;
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  EXPECT_EQ(Walk({base + Native("data/")}, true, dialogs, pump),
            Under(base, {"data/", "data/a/", "data/b/", "data/B2/", "data/a/a1/", "data/B2/deep/",
                         "data/B2/deep/deeper/"}));
  EXPECT_TRUE(dialogs.messages.empty());
  // One yield per lookup, per subfolder met and per entry appended.
  EXPECT_EQ(pump.yields, 7 + 6 + 6);
}

// Cyrillic and CJK folder names are walked and come back as their UTF-8 text,
// sorted by their folded letters.
TEST(SubDirectories, WalksNamesInEveryScript) {
  TempDir dir;
  const std::string upper = "\xd0\x9f\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0";  // Папка
  const std::string lower = "\xd0\xb0\xd1\x80\xd1\x85\xd0\xb8\xd0\xb2";  // архив
  const std::string cjk = "\xe9\x82\xae\xe4\xbb\xb6";                    // 邮件
  MakeFolders(dir, {cjk + "/" + upper, upper + "/inner", lower, "Z"});
  const std::string base = dir.Path() + kSep;
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  EXPECT_EQ(Walk({base}, true, dialogs, pump),
            Under(base, {"", "Z/", lower + "/", upper + "/", cjk + "/", upper + "/inner/",
                         cjk + "/" + upper + "/"}));
  EXPECT_TRUE(dialogs.messages.empty());
}

// A tree whose paths run past 260 characters is walked, listed and its files
// seen, as any other (on Windows only in the extended-length form).
TEST(SubDirectories, WalksAndListsATreeBeyondTheOldPathLimit) {
  TempDir dir;
  const std::string base = dir.Path() + kSep;
  const std::string deep = testing_support::DeepFolders(kSep) + kSep;
  MakeFolders(dir, {deep + "z"});
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  const Folders walked = Walk({base}, true, dialogs, pump);
  EXPECT_TRUE(dialogs.messages.empty());
  ASSERT_EQ(walked.size(), 9u);
  EXPECT_EQ(walked.back(), base + deep + "z" + kSep);
  const std::string file = base + deep + "\xd0\x9e\xd1\x82\xd1\x87\xd1\x91\xd1\x82 \xe6\x97\xa5.msg";  // Отчёт 日.msg
  ASSERT_TRUE(testing_support::WriteFile(U8Path(file), "x"));
  EXPECT_EQ(intake::ListFolderFiles(base + deep, "*.MSG"), Folders{file.substr(file.rfind(kSep) + 1)});
  EXPECT_TRUE(intake::IsExistingFile(file));
  EXPECT_EQ(intake::FileAttributes(file).value_or(0) & intake::kAttrDirectory, 0);
  EXPECT_EQ(intake::FileAttributes(base + deep).value_or(0) & intake::kAttrDirectory, intake::kAttrDirectory);
}

TEST(SubDirectories, StartFolderWithoutSubfoldersStaysAlone) {
  TempDir dir;
  ASSERT_TRUE(testing_support::WriteFile(dir.path / "only-a-file.msg", "x"));
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  EXPECT_EQ(Walk({dir.Path() + kSep}, true, dialogs, pump), Folders{dir.Path() + kSep});
}

TEST(SubDirectories, WithoutRecursionOnlyFirstLevel) {
  TempDir dir;
  MakeFolders(dir, {"x/y/z"});
  const std::string base = dir.Path() + kSep;
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  EXPECT_EQ(Walk({base}, false, dialogs, pump), Under(base, {"", "x/"}));
}

TEST(SubDirectories, FolderVanishingDuringYieldIsReportedAndDropped) {
  TempDir dir;
  MakeFolders(dir, {"keep/k", "gone/g"});
  const std::string base = dir.Path() + kSep;
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  // The first yield follows the lookup of the first start entry: another handler
  // removes that folder meanwhile.
  pump.actions[1] = [&] { fs::remove_all(dir.path / "gone"); };
  EXPECT_EQ(Walk(Under(base, {"gone/", "keep/"}), true, dialogs, pump), Under(base, {"keep/", "keep/k/"}));
  ASSERT_EQ(dialogs.messages.size(), size_t(1));
  EXPECT_EQ(dialogs.messages[0].title, "Application Error");
  EXPECT_EQ(dialogs.messages[0].text,
            platform::ErrorReportText("Path not found",
                                      "in Brannock2021/08/31.AddFolder.GetSubDirectories2016 ", 116));
}

TEST(SubDirectories, FolderQualifies) {
  struct Case { int attributes; bool root, qualifies; };
  const Case cases[] = {
      {16, false, true}, {18, false, true}, {22, false, false}, {1046, false, false},
      {54, false, true}, {1040, false, true}, {22, true, true},
  };
  for (const Case& c : cases) EXPECT_EQ(intake::FolderQualifies(c.attributes, c.root), c.qualifies);
}

TEST(SubDirectories, BrowseForFolder) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {Native("/home/u/Mail"), Native("/home/u/Mail")},
      {Native("/home/u/Mail/"), Native("/home/u/Mail")},
      {Native("/"), Native("/")},
      {std::string("/a\0junk", 7), "/a"},
#ifdef _WIN32
      {"C:\\", "C:\\"},
      {"\\\\server\\share\\", "\\\\server\\share"},
#endif
  };
  for (const auto& [answer, result] : cases) {
    ScriptedDialogs dialogs;
    dialogs.folder_answers.push_back(answer);
    EXPECT_EQ(intake::BrowseForFolder(dialogs, "Please select folder:", "/start"), result);
    ASSERT_EQ(dialogs.folder_requests.size(), size_t(1));
    EXPECT_EQ(dialogs.folder_requests[0].title, "Please select folder:");
    EXPECT_EQ(dialogs.folder_requests[0].arg, "/start");
  }
}

#ifndef _WIN32
TEST(SubDirectories, HiddenFoldersAreWalked) {
  TempDir dir;
  MakeFolders(dir, {".hidden/inner"});
  const std::string base = dir.Path() + '/';
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  EXPECT_EQ(Walk({base}, true, dialogs, pump), Under(base, {"", ".hidden/", ".hidden/inner/"}));
}

TEST(SubDirectories, SkipsBadNamesWithEverythingBelow) {
  TempDir dir;
  MakeFolders(dir, {"why?/below", "tab\there/below", "caf\xc3\xa9/ok", "bad\xfe/below"});
  const std::string base = dir.Path() + '/';
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  EXPECT_EQ(Walk({base}, true, dialogs, pump), Under(base, {"", "caf\xc3\xa9/", "caf\xc3\xa9/ok/"}));
}

// One tree for every row: top/{a/a1, b, sub1/s} and outside/o1, with links
// top/link-to-sub1 -> sub1, top/sub1/loop -> .., top/a/a1/back-to-top -> top,
// top/b/alias-of-a -> top/a, top/b/elsewhere -> outside and
// outside/o1/back-in -> top/b. Paths are relative to the tree's folder.
TEST(SubDirectories, Links) {
  const Folders below_top = {"top/a/",   "top/b/",           "top/sub1/",
                             "top/a/a1/", "top/b/elsewhere/", "top/sub1/s/", "top/b/elsewhere/o1/"};
  auto with = [](Folders head, const Folders& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const std::pair<Folders, Folders> cases[] = {
      // folders inside under their real paths, loops skipped, links elsewhere followed
      {{"top/"}, with({"top/"}, below_top)},
      // a start given twice is listed once but stays twice
      {{"top/", "top/"}, with({"top/", "top/"}, below_top)},
      // a link up to an ancestor of the start
      {{"top/sub1/"}, {"top/sub1/", "top/sub1/s/"}},
      // a start reached through a link keeps its path
      {{"top/link-to-sub1/"}, {"top/link-to-sub1/", "top/link-to-sub1/s/"}},
  };
  for (const auto& [starts, expected] : cases) {
    TempDir dir;
    const std::string base = dir.Path() + '/';
    MakeFolders(dir, {"top/a/a1", "top/b", "top/sub1/s", "outside/o1"});
    const auto link = [&](const std::string& target, const std::string& name) {
      ASSERT_EQ(::symlink(target.c_str(), (base + name).c_str()), 0) << name;
    };
    const std::string top = base + "top";
    link("sub1", "top/link-to-sub1");
    link("..", "top/sub1/loop");
    link(top, "top/a/a1/back-to-top");
    link(top + "/a", "top/b/alias-of-a");
    link(base + "outside", "top/b/elsewhere");
    link(top + "/b", "outside/o1/back-in");
    ScriptedDialogs dialogs;
    ScriptedPump pump;
    EXPECT_EQ(Walk(Under(base, starts), true, dialogs, pump), Under(base, expected));
    EXPECT_TRUE(dialogs.messages.empty());
  }
}

TEST(SubDirectories, UnreadableFolderLeavesTheSet) {
  RUN_AS_UNPRIVILEGED_USER();
  TempDir dir;
  MakeFolders(dir, {"one/locked/inside", "one/open/x", "two/sub", "three/t"});
  const std::string base = dir.Path() + '/';
  ASSERT_EQ(::chmod((base + "one/locked").c_str(), 0), 0);
  ASSERT_EQ(::chmod((base + "three").c_str(), 0), 0);
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  const Folders result = Walk(Under(base, {"one/", "two/", "three/"}), true, dialogs, pump);
  // Both unreadable folders leave: the start entry "three/" and "one/locked/" found
  // below; the walk goes on after each, without a message.
  EXPECT_EQ(result, Under(base, {"one/", "two/", "one/open/", "two/sub/", "one/open/x/"}));
  EXPECT_TRUE(dialogs.messages.empty());
}
#endif

}  // namespace
