#include "formats/common/long_path.h"

#include <gtest/gtest.h>

#include <string>

namespace formats {
namespace {

// One row per way a path reaches a file call: as typed, as the window passes
// it, relative to the current folder, or already in the long form.
TEST(LongPathTest, MakesTheExtendedForm) {
  struct Row {
    const char* name;
    std::string path;
    std::string current;
    std::string want;
  };
  const std::string cwd = "C:\\Users\\dana\\Mail";
  const Row rows[] = {
      {"drive", "C:\\Mail\\a.msg", cwd, "\\\\?\\C:\\Mail\\a.msg"},
      {"drive_root", "D:\\", cwd, "\\\\?\\D:\\"},
      {"drive_root_without_separator_is_the_current_folder", "C:", cwd, "\\\\?\\C:\\Users\\dana\\Mail\\"},
      {"share", "\\\\server\\share\\in\\a.msg", cwd, "\\\\?\\UNC\\server\\share\\in\\a.msg"},
      {"share_root", "\\\\server\\share\\", cwd, "\\\\?\\UNC\\server\\share\\"},
      {"share_without_share_name_unchanged", "\\\\server", cwd, "\\\\server"},
      {"forward_slashes", "C:/Mail/2019/a.msg", cwd, "\\\\?\\C:\\Mail\\2019\\a.msg"},
      {"forward_slash_share", "//server/share/a.msg", cwd, "\\\\?\\UNC\\server\\share\\a.msg"},
      {"doubled_backslashes_as_the_window_passes_them", "C:\\\\Mail Out\\\\", cwd, "\\\\?\\C:\\Mail Out\\"},
      {"relative", "in\\a.msg", cwd, "\\\\?\\C:\\Users\\dana\\Mail\\in\\a.msg"},
      {"relative_dot", ".\\a.msg", cwd, "\\\\?\\C:\\Users\\dana\\Mail\\a.msg"},
      {"relative_dot_dot", "..\\..\\x\\a.msg", cwd, "\\\\?\\C:\\Users\\x\\a.msg"},
      {"dot_dot_stops_at_the_drive_root", "C:\\a\\..\\..\\..\\b", cwd, "\\\\?\\C:\\b"},
      {"dot_dot_stops_at_the_share", "\\\\server\\share\\..\\..\\b", cwd, "\\\\?\\UNC\\server\\share\\b"},
      {"rooted_takes_the_current_drive", "\\Mail\\a.msg", cwd, "\\\\?\\C:\\Mail\\a.msg"},
      {"rooted_takes_the_current_share", "\\a.msg", "\\\\server\\share\\x", "\\\\?\\UNC\\server\\share\\a.msg"},
      {"relative_to_a_share", "a.msg", "\\\\server\\share\\x\\", "\\\\?\\UNC\\server\\share\\x\\a.msg"},
      {"relative_to_an_extended_current_folder", "a.msg", "\\\\?\\C:\\long", "\\\\?\\C:\\long\\a.msg"},
      {"relative_to_an_extended_share", "a.msg", "\\\\?\\UNC\\s\\sh\\x", "\\\\?\\UNC\\s\\sh\\x\\a.msg"},
      {"drive_relative_on_the_current_drive", "c:a.msg", cwd, "\\\\?\\C:\\Users\\dana\\Mail\\a.msg"},
      {"drive_relative_on_another_drive", "D:a.msg", cwd, "\\\\?\\D:\\a.msg"},
      {"relative_without_a_usable_current_folder_unchanged", "a.msg", "", "a.msg"},
      {"trailing_dots_and_spaces_of_the_last_name_dropped", "C:\\Mail\\Out. .", cwd, "\\\\?\\C:\\Mail\\Out"},
      {"inner_dots_kept", "C:\\a.b\\...\\c..\\d", cwd, "\\\\?\\C:\\a.b\\...\\c..\\d"},
      {"one_dot_ending_an_inner_name_dropped", "C:\\Mail.\\a.msg", cwd, "\\\\?\\C:\\Mail\\a.msg"},
      {"wildcard_kept", "C:\\Mail\\*", cwd, "\\\\?\\C:\\Mail\\*"},
      {"already_extended_unchanged", "\\\\?\\C:\\a\\..\\b", cwd, "\\\\?\\C:\\a\\..\\b"},
      {"already_extended_share_unchanged", "\\\\?\\UNC\\s\\sh\\a", cwd, "\\\\?\\UNC\\s\\sh\\a"},
      {"device_unchanged", "\\\\.\\pipe\\x", cwd, "\\\\.\\pipe\\x"},
      {"empty_unchanged", "", cwd, ""},
      {"cyrillic_and_cjk", "C:\\Почта\\邮件\\..\\Отчёт 日本.msg", cwd, "\\\\?\\C:\\Почта\\Отчёт 日本.msg"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ExtendedLengthPath(row.path, row.current), row.want);
  }
}

}  // namespace
}  // namespace formats
