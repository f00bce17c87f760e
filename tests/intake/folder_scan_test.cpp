// Listing a folder by wildcard, the file and name tests, and the attributes.
#include "intake/folder_scan.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/separator.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/unprivileged.h"
#endif

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::U8Path;
using Names = std::vector<std::string>;

namespace {

using testing_support::kSep;

void Touch(const std::string& path) { ASSERT_TRUE(testing_support::WriteFile(U8Path(path), "x")) << path; }

TEST(FolderScan, MatchesWildcard) {
  struct Case { std::string name, pattern; bool matches; };
  const Case cases[] = {
      {"A.EML", "*.eml", true},
      {"a.msg", "*.MSG", true},
      {"\xc3\x84rger.MSG", "\xc3\xa4*.msg", true},  // non-ASCII letters fold
      {"\xd0\x9f\xd0\x98\xd0\xa1\xd0\xac\xd0\x9c\xd0\x9e.msg", "\xd0\xbf\xd0\xb8*", true},  // Cyrillic
      {"\xe6\x96\x87\xe4\xbb\xb6.MSG", "\xe6\x96\x87*.msg", true},                        // CJK
      {"README", "*.*", true},
      {".hidden", "*.*", true},
      {"a", "a.*", true},
      {"a.msgx", "*.msg", false},
      {"a.msg.txt", "*.msg", false},
      {"a.b.msg", "*.msg", true},
      {"msg", "*.msg", false},
      {"ab", "a?", true},
      {"a\xc3\xa9", "a?", true},  // '?' is one character, not one byte
      {"a", "a?", false},
      {"a..msg", "*..msg", true},
      {"a.msg", "*..msg", false},
      {"aXbXc.msg", "a*b*c.msg", true},
      {"anything", "*", true},
      {"bad\xff.msg", "*", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(intake::MatchesWildcard(c.name, c.pattern), c.matches) << c.name << " " << c.pattern;
  }
}

TEST(FolderScan, ListsMatchingFilesOnly) {
  TempDir dir;
  const std::string base = dir.Path() + kSep;
  Touch(base + "b.msg");
  Touch(base + "A.MSG");
  Touch(base + ".hidden.msg");
  Touch(base + "~tmp.msg");
  Touch(base + "notes.txt");
  fs::create_directory(U8Path(base + "folder.msg"));
  // Folders never appear; hidden files and "~" files do (callers filter those);
  // sorted case-insensitively.
  Names expected{".hidden.msg", "A.MSG", "b.msg", "~tmp.msg"};
#ifndef _WIN32
  ASSERT_EQ(::symlink((base + "b.msg").c_str(), (base + "link.msg").c_str()), 0);
  ASSERT_EQ(::symlink((base + "nowhere").c_str(), (base + "dangling.msg").c_str()), 0);
  ASSERT_EQ(::symlink((base + "folder.msg").c_str(), (base + "dirlink.msg").c_str()), 0);
  ASSERT_EQ(::mkfifo((base + "pipe.msg").c_str(), 0600), 0);
  // Links to folders, dangling links and pipes never appear either.
  expected.insert(expected.begin() + 3, "link.msg");
#endif
  EXPECT_EQ(intake::ListFolderFiles(dir.Path(), "*.msg"), expected);
  EXPECT_EQ(intake::ListFolderFiles(dir.Path(), "*.*").size(), expected.size() + 1);
  EXPECT_EQ(intake::ListFolderFiles(dir.Path(), "*.eml"), Names());
}

// Cyrillic, CJK and accented names come back as their UTF-8 text, in the order
// of their folded letters, and open again.
TEST(FolderScan, ListsNamesInEveryScript) {
  TempDir dir;
  const std::string cyrillic_upper = "\xd0\x9f\xd0\xb8\xd1\x81\xd1\x8c\xd0\xbc\xd0\xbe.msg";  // Письмо
  const std::string cyrillic_lower = "\xd0\xb0\xd0\xb4\xd1\x80\xd0\xb5\xd1\x81.msg";          // адрес
  const std::string cjk = "\xe9\x83\xb5\xe4\xbb\xb6.msg";                                      // 邮件
  const std::string accented = "caf\xc3\xa9.msg";
  for (const std::string& name : {cjk, cyrillic_upper, accented, cyrillic_lower}) Touch(dir.File(name));
  const Names names = intake::ListFolderFiles(dir.Path(), "*.MSG");
  EXPECT_EQ(names, (Names{accented, cyrillic_lower, cyrillic_upper, cjk}));
  for (const std::string& name : names) EXPECT_TRUE(intake::IsExistingFile(dir.Path() + kSep + name)) << name;
  EXPECT_EQ(intake::ListFolderFiles(dir.Path(), "\xd0\xbf*"), (Names{cyrillic_upper}));
}

TEST(FolderScan, ListingWithAndWithoutTrailingSeparatorAgree) {
  TempDir dir;
  Touch(dir.File("x.msg"));
  Touch(dir.File("y.msg"));
  const Names without = intake::ListFolderFiles(dir.Path(), "*.msg");
  EXPECT_EQ(without, (Names{"x.msg", "y.msg"}));
  EXPECT_EQ(intake::ListFolderFiles(dir.Path() + kSep, "*.msg"), without);
}

TEST(FolderScan, ListingOfMissingFolderOrFileIsEmpty) {
  TempDir dir;
  EXPECT_TRUE(intake::ListFolderFiles(dir.File("missing"), "*.*").empty());
  Touch(dir.File("plain"));
  EXPECT_TRUE(intake::ListFolderFiles(dir.File("plain"), "*.*").empty());
}

TEST(FolderScan, ListingKeepsEveryNameOfALargeFolder) {
  TempDir dir;
  Names expected;
  for (int i = 0; i < 101; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "m%03d.msg", i);
    Touch(dir.File(name));
    expected.push_back(name);
  }
  EXPECT_EQ(intake::ListFolderFiles(dir.Path(), "*.msg"), expected);
}

TEST(FolderScan, IsExistingFile) {
  TempDir dir;
  const std::string base = dir.Path() + kSep;
  Touch(base + "file.msg");
  Touch(base + ".dot");
  fs::create_directory(U8Path(base + "sub"));
  struct Case { std::string relative; bool exists; };
  std::vector<Case> cases = {
      {"file.msg", true}, {".dot", true}, {"sub", false}, {std::string("sub") + kSep, false},
      {"missing.msg", false}, {std::string("file.msg\0x", 10), false},
      {std::string(intake::kMaxPathLength, 'a'), false},
  };
#ifndef _WIN32
  ASSERT_EQ(::symlink((base + "file.msg").c_str(), (base + "link").c_str()), 0);
  ASSERT_EQ(::symlink((base + "gone").c_str(), (base + "dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo((base + "pipe").c_str(), 0600), 0);
  cases.insert(cases.end(), {{"link", true}, {"dangling", false}, {"pipe", false}});
#endif
  for (const Case& c : cases) EXPECT_EQ(intake::IsExistingFile(base + c.relative), c.exists) << c.relative;
}

TEST(FolderScan, HasBadNameChars) {
  struct Case { std::string name; bool bad; };
  const Case cases[] = {
      {"", false}, {"Inbox 2021", false}, {"R\xc3\xa9unions", false},
      {"mail \xF0\x9F\x93\xA7", false}, {"\xe2\x82\xac invoices", false},
      {"\xd0\x9f\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0 \xe6\x96\x87", false},
      {"why?", true}, {"a\tb", true}, {"a\nb", true}, {"a\x7f", true},
      {"a\xc2\x85", true},  // C1 control
      {"a\xc2\x9f", true},  // the last C1 control
      {"a\xc2\xa0", false},
      {"a\xff", true},                // not UTF-8
      {"a\xed\xa0\xbd", true},        // an encoded surrogate
  };
  for (const Case& c : cases) EXPECT_EQ(intake::HasBadNameChars(c.name), c.bad) << c.name;
}

#ifndef _WIN32
TEST(FolderScan, ListingSkipsNamesTheCodePageCannotWrite) {
  TempDir dir;
  for (const char* name : {"bad\xff.msg", "good.msg", "caf\xc3\xa9.msg"}) Touch(dir.File(name));
  EXPECT_EQ(intake::ListFolderFiles(dir.Path(), "*.msg"), (Names{"caf\xc3\xa9.msg", "good.msg"}));
}

TEST(FolderScan, FileAttributes) {
  TempDir dir;
  const std::string base = dir.Path() + '/';
  Touch(base + "file.msg");
  Touch(base + ".dot.msg");
  fs::create_directory(base + "sub");
  fs::create_directory(base + ".cache");
  ASSERT_EQ(::symlink((base + "file.msg").c_str(), (base + "flink").c_str()), 0);
  ASSERT_EQ(::symlink((base + "file.msg").c_str(), (base + ".hlink").c_str()), 0);
  ASSERT_EQ(::symlink((base + "sub").c_str(), (base + "dlink").c_str()), 0);
  ASSERT_EQ(::symlink((base + "gone").c_str(), (base + "dangling").c_str()), 0);
  const std::pair<std::string, int> cases[] = {
      {"file.msg", 32}, {".dot.msg", 34}, {"sub", 16}, {".cache", 18}, {"flink", 1024 + 32},
      {"dlink", 1024 + 16}, {".hlink", 1024 + 32 + 2}, {"dangling", -1}, {"missing", -1},
  };
  for (const auto& [relative, attributes] : cases) {
    EXPECT_EQ(intake::FileAttributes(base + relative).value_or(-1), attributes) << relative;
  }
}

TEST(FolderScan, ReadOnlyAttributeFollowsTheUser) {
  RUN_AS_UNPRIVILEGED_USER();
  TempDir dir;
  Touch(dir.File("locked.msg"));
  Touch(dir.File(".locked"));
  fs::permissions(dir.File("locked.msg"), fs::perms::owner_read);
  fs::permissions(dir.File(".locked"), fs::perms::owner_read);
  EXPECT_EQ(intake::FileAttributes(dir.File("locked.msg")).value_or(-1), 33);
  // A read-only dot-file is 35, not 34: the list handlers take it.
  EXPECT_EQ(intake::FileAttributes(dir.File(".locked")).value_or(-1), 35);
}
#else
TEST(FolderScan, FileAttributesAreTheSystemsOwn) {
  TempDir dir;
  Touch(dir.File("file.msg"));
  fs::create_directory(dir.path / "sub");
  EXPECT_EQ(intake::FileAttributes(dir.File("file.msg")).value_or(-1) & ~1, 32);
  EXPECT_EQ(intake::FileAttributes(dir.File("sub")).value_or(-1) & 16, 16);
  EXPECT_EQ(intake::FileAttributes(dir.File("missing")).value_or(-1), -1);
}
#endif

}  // namespace
