// Quorvex.exe started as the window starts it on Windows: one command line that
// the C runtime splits, a source under any name, the output folder with its
// backslashes doubled. Runs under Wine in CI.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>

#include "converter_tool/windows_text.h"
#include "tests/support/run_captured_windows.h"
#include "tests/support/temp_dir.h"
#include "tools/msg_fixture/msg_writer.h"

namespace {

namespace fs = std::filesystem;

using ToolResult = testing_support::Captured;

std::wstring ToolPath() { return fs::absolute(fs::path(QUORVEX_PATH)).wstring(); }

// Runs `"<Quorvex.exe>" <arguments>` as one raw command line.
ToolResult RunTool(const std::wstring& arguments) { return testing_support::RunCaptured(ToolPath(), arguments); }

// The window's quoting: in double quotes, each backslash of the folder doubled.
std::wstring QuoteLikeTheWindow(const std::wstring& text, bool double_backslashes) {
  std::wstring out = L"\"";
  for (wchar_t c : text) out += (double_backslashes && c == L'\\') ? std::wstring(L"\\\\") : std::wstring(1, c);
  return out + L"\"";
}

// By the system's own listing: the C runtime's cannot list folders deeper than
// 260 characters.
std::set<std::wstring> Names(const fs::path& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((L"\\\\?\\" + folder.wstring() + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (std::wcscmp(found.cFileName, L".") != 0 && std::wcscmp(found.cFileName, L"..") != 0) {
      names.insert(found.cFileName);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

class TempFolder {
 public:
  explicit TempFolder(const std::wstring& name) {
    std::random_device random;
    do {
      path_ = fs::temp_directory_path() / (name + L"_" + std::to_wstring(random()));
    } while (!fs::create_directories(path_));
  }
  ~TempFolder() { testing_support::RemoveTree(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void WriteMail(const fs::path& path, const std::string& subject) {
  msg_fixture::FixtureMessage m;
  m.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, subject).Long(0x3FDE, 65001);
  m.props.Time(0x0039, msg_fixture::FileTime(2026, 3, 14, 15, 9, 26));
  msg_fixture::SetSmtpSender(m.props, "Dana Whitfield", "dana@example.com");
  m.props.Unicode(0x1000, "The figures are attached.\r\n");
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Marek Novak", "marek@example.org"));
  const std::vector<uint8_t> bytes = msg_fixture::WriteMsg(m).bytes;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

constexpr char kUsage[] = "Usage: Quorvex.exe <msg_file> <output folder>\r\n";

// The C runtime's splitting, seen through the line the tool prints about its
// first argument (a source that does not exist) or through the usage line.
TEST(WindowsToolTest, ArgumentsAreSplitByTheWindowsRules) {
  struct Row {
    const char* name;
    std::wstring arguments;
    std::string line_start;
  };
  const Row rows[] = {
      {"none", L"", kUsage},
      {"one", L"\"a b.msg\"", kUsage},
      {"two_backslashes_before_a_quote_give_one_and_close", L"\"no\\such\\\\\" out", "Cannot open no\\such\\: "},
      {"three_give_one_and_a_literal_quote", L"\"no\\\\\\\"such\" out", "Cannot open no\\\"such: "},
      {"four_unquoted_give_two_and_open_a_group", L"no\\\\\\\\\"a b\" out", "Cannot open no\\\\a b: "},
      {"backslashes_elsewhere_stay", L"no\\\\x.msg out", "Cannot open no\\\\x.msg: "},
      {"one_then_a_quote_is_literal_and_the_group_runs_on", L"\"no\\\"such out", kUsage},
      {"a_third_argument_is_ignored", L"\"no such\" out extra", "Cannot open no such: "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ToolResult r = RunTool(row.arguments);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.output.substr(0, row.line_start.size()), row.line_start) << r.output;
    EXPECT_EQ(r.output.find("\r\n"), r.output.size() - 2) << "one line: " << r.output;
  }
}

// A source in folders with Cyrillic and CJK names, into C:\Mail Out\ passed as
// "C:\\Mail Out\\"; then a damaged copy, which says why and leaves nothing.
TEST(WindowsToolTest, ConvertsFromAnyNameIntoTheFolderTheWindowPasses) {
  TempFolder sources(L"quorvex_\u041F\u0438\u0441\u044C\u043C\u0430");  // Письма
  const fs::path folder = sources.path() / L"\u90AE\u4EF6 \u5831\u544A";  // 邮件 報告
  fs::create_directories(folder);
  const fs::path source = folder / L"\u041E\u0442\u0447\u0451\u0442 \u65E5\u672C.msg";  // Отчёт 日本.msg
  WriteMail(source, "Quarterly figures");

  const fs::path mail_out = L"C:\\Mail Out";
  fs::create_directories(mail_out);
  const std::set<std::wstring> before = Names(mail_out);
  const std::wstring folder_argument = QuoteLikeTheWindow(L"C:\\Mail Out\\", true);
  ASSERT_EQ(folder_argument, L"\"C:\\\\Mail Out\\\\\"");
  ToolResult r = RunTool(QuoteLikeTheWindow(source.wstring(), false) + L" " + folder_argument);
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(r.exit_code, 0u);
  std::set<std::wstring> added;
  for (const std::wstring& name : Names(mail_out)) {
    if (!before.count(name)) added.insert(name);
  }
  ASSERT_EQ(added.size(), 1u);
  const std::wstring name = *added.begin();
  EXPECT_EQ(name.size(), 40u);
  EXPECT_EQ(name.substr(36), L".eml");
  {
    std::ifstream in(mail_out / name, std::ios::binary);
    const std::string eml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(eml.find("Subject: Quarterly figures\r\n"), std::string::npos);
    EXPECT_NE(eml.find("The figures are attached."), std::string::npos);
  }
  fs::remove(mail_out / name);

  // Into a folder deeper than 260 characters, passed the same way.
  const fs::path deep = sources.path() / testing_support::U8Path(testing_support::DeepFolders('\\'));
  fs::create_directories(deep);
  r = RunTool(QuoteLikeTheWindow(source.wstring(), false) + L" " + QuoteLikeTheWindow(deep.wstring() + L"\\", true));
  EXPECT_EQ(r.output, "");
  ASSERT_EQ(Names(deep).size(), 1u);
  EXPECT_EQ(Names(deep).begin()->substr(36), L".eml");

  // Damaged: the first half of the file.
  const fs::path damaged = folder / L"\u0411\u0438\u0442\u044B\u0439 \u58CA.msg";  // Битый 壊.msg
  fs::copy_file(source, damaged);
  fs::resize_file(damaged, fs::file_size(source) / 2);
  r = RunTool(QuoteLikeTheWindow(damaged.wstring(), false) + L" " + folder_argument);
  EXPECT_EQ(r.exit_code, 0u);
  EXPECT_EQ(r.output.rfind("Cannot read the message: ", 0), 0u) << r.output;
  EXPECT_EQ(r.output.find("\r\n"), r.output.size() - 2) << "one line: " << r.output;
  EXPECT_EQ(Names(mail_out), before) << "the folder changed";

  // A source that is not there: its name comes back in UTF-8 through the pipe.
  const fs::path missing = folder / L"\u041D\u0435\u0442 \u7121.msg";  // Нет 無.msg
  r = RunTool(QuoteLikeTheWindow(missing.wstring(), false) + L" " + folder_argument);
  EXPECT_EQ(r.output.rfind("Cannot open " + converter::Utf8FromWide(missing.wstring()) + ": ", 0), 0u) << r.output;
  EXPECT_EQ(Names(mail_out), before);
}

}  // namespace
