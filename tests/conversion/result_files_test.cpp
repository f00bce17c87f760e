// Naming a result and telling a new one apart from what the folder held.
#include "conversion/result_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::U8Path;
using Texts = std::vector<std::string>;

namespace {

TEST(ResultFiles, TargetPath) {
  struct Case { std::string source, folder, expected; };
#ifdef _WIN32
  const Case cases[] = {
      {"C:\\mail\\Report.final.msg", "D:\\out\\", "D:\\out\\Report.final.eml"},
      {"C:\\mail\\Report.final.msg", "C:\\mail\\", "C:\\mail\\Report.final.eml"},
      {"\\\\srv\\share\\a.msg", "\\\\srv\\share\\", "\\\\srv\\share\\a.eml"},
      {"C:\\a.msg", "C:\\", "C:\\a.eml"},
  };
#else
  const Case cases[] = {
      {"/mail/Report.final.msg", "/out/", "/out/Report.final.eml"},
      {"/mail/Report.final.msg", "/mail/", "/mail/Report.final.eml"},
      {"/mail/noext", "/out/", "/out/noext.eml"},
      {"/mail/.msg", "/out/", "/out/.msg.eml"},
      {"/a.msg", "/", "/a.eml"},
  };
#endif
  for (const Case& c : cases) EXPECT_EQ(conversion::TargetPathFor(c.source, c.folder), c.expected);
}

TEST(ResultFiles, NewResultNamesSinglesOutNewEmlFiles) {
  testing_support::TempDir dir;
  ASSERT_TRUE(testing_support::WriteFile(dir.path / "old.eml", "x"));
  const auto before = conversion::FolderEntries(dir.Path());
  EXPECT_TRUE(before.contains("old.eml"));
  for (const char* name : {"old.eml", "New.EML", "\xd0\x9f\xd0\xb8\xd1\x81\xd1\x8c\xd0\xbc\xd0\xbe.eml",
                           "notes.txt", "a.eml.part"}) {
    ASSERT_TRUE(testing_support::WriteFile(U8Path(dir.File(name)), "x"));  // old.eml: not new
  }
  fs::create_directory(dir.path / "folder.eml");
  Texts fresh = conversion::NewResultNames(dir.Path(), before);
  std::sort(fresh.begin(), fresh.end());
  EXPECT_EQ(fresh, (Texts{"New.EML", "\xd0\x9f\xd0\xb8\xd1\x81\xd1\x8c\xd0\xbc\xd0\xbe.eml"}));
  EXPECT_TRUE(conversion::NewResultNames(dir.File("missing"), {}).empty());
}

}  // namespace
