// mailvane-convert.exe on a tree deeper than Windows' usual 260 characters, in
// Cyrillic and CJK: the results in the mirrored tree with the message's time,
// the report's rows, and a second run that adds beside what is there instead
// of replacing it. Runs under Wine in CI.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "converter_tool/windows_text.h"
#include "tests/support/run_captured_windows.h"
#include "tests/support/temp_dir.h"
#include "tools/msg_fixture/msg_writer.h"

namespace {

namespace fs = std::filesystem;

// The system's form for paths of any length.
std::wstring Long(const fs::path& path) { return L"\\\\?\\" + path.wstring(); }

using Ran = testing_support::Captured;

// With `input` as its standard input when given.
Ran RunConvert(const std::wstring& arguments, HANDLE input = nullptr) {
  return testing_support::RunCaptured(fs::absolute(fs::path(CONVERT_PATH)).wstring(), arguments, input);
}

std::string ReadLong(const fs::path& path) {
  std::ifstream in(fs::path(Long(path)), std::ios::binary);
  if (!in) return "<unreadable>";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WriteLong(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(fs::path(Long(path)), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::vector<uint8_t> Item(const std::string& message_class, const std::string& subject) {
  msg_fixture::FixtureMessage m;
  m.props.Unicode(0x001A, message_class).Unicode(0x0037, subject).Long(0x3FDE, 65001);
  m.props.Time(0x0039, msg_fixture::FileTime(2026, 3, 14, 15, 9, 26));
  msg_fixture::SetSmtpSender(m.props, "Dana Whitfield", "dana@example.com");
  m.props.Unicode(0x1000, "The figures are attached.\r\n");
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Marek Novak", "marek@example.org"));
  return msg_fixture::WriteMsg(m).bytes;
}

// The report as the run writes paths: UTF-8, '/' between names.
std::string ReportPath(const fs::path& path) {
  std::string text = converter::Utf8FromWide(path.wstring());
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

// Source -> "result,status,reason" (the reason's commas are its own).
std::map<std::string, std::string> ReportRows(const std::string& csv) {
  std::map<std::string, std::string> rows;
  size_t start = csv.find("\r\n") + 2;
  while (start < csv.size()) {
    const size_t end = csv.find("\r\n", start);
    const std::string line = csv.substr(start, end - start);
    const size_t comma = line.find(',');
    const size_t sizes = line.rfind(',', line.rfind(',') - 1);
    rows[line.substr(0, comma)] = line.substr(comma + 1, sizes - comma - 1);
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return rows;
}

TEST(WindowsArchiveTest, ConvertsATreeBeyondTheOldPathLimit) {
  testing_support::TempDir dir;
  const fs::path deep = testing_support::U8Path(testing_support::DeepFolders('\\'));
  const fs::path sources = dir.path / L"\u0412\u0445\u043E\u0434\u044F\u0449\u0438\u0435 \u90AE\u4EF6";  // Входящие 邮件
  const fs::path in = sources / deep / L"2019";
  const fs::path out = dir.path / L"\u0412\u044B\u0445\u043E\u0434 \u51FA\u529B" / deep;  // Выход 出力
  ASSERT_TRUE(CreateDirectoryW(Long(sources).c_str(), nullptr));
  fs::path made = sources;
  for (const fs::path& name : deep / L"2019") {
    made /= name;
    ASSERT_TRUE(CreateDirectoryW(Long(made).c_str(), nullptr)) << GetLastError();
  }
  ASSERT_GT(in.wstring().size(), 300u);
  const fs::path mail = in / L"\u041E\u0442\u0447\u0451\u0442 \u65E5\u672C.msg";          // Отчёт 日本.msg
  const fs::path contact = in / L"\u041A\u043E\u043D\u0442\u0430\u043A\u0442 \u9023.msg";  // Контакт 連.msg
  const fs::path damaged = in / L"\u0411\u0438\u0442\u044B\u0439 \u58CA.msg";              // Битый 壊.msg
  ASSERT_TRUE(WriteLong(mail, Item("IPM.Note", "Quarterly figures")));
  ASSERT_TRUE(WriteLong(contact, Item("IPM.Contact", "Marek")));
  std::vector<uint8_t> half = Item("IPM.Note", "Cut off");
  half.resize(half.size() / 2);
  ASSERT_TRUE(WriteLong(damaged, half));

  const std::wstring arguments = L"-j2 \"" + sources.wstring() + L"\" \"" + out.wstring() + L"\"";
  Ran ran = RunConvert(arguments);
  EXPECT_EQ(ran.exit_code, 1u) << ran.output;  // the damaged file failed
  const fs::path result = out / deep / L"2019" / L"\u041E\u0442\u0447\u0451\u0442 \u65E5\u672C.eml";
  const std::string eml = ReadLong(result);
  EXPECT_NE(eml.find("Subject: Quarterly figures\r\n"), std::string::npos) << eml.substr(0, 200);
  // The file's time is the message's: sent 2026-03-14 15:09:26 UTC.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(Long(result).c_str(), GetFileExInfoStandard, &data));
  const uint64_t written = (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
  EXPECT_EQ(written, msg_fixture::FileTime(2026, 3, 14, 15, 9, 26));

  const std::map<std::string, std::string> rows = ReportRows(ReadLong(out / L"mailvane-report.csv"));
  ASSERT_EQ(rows.size(), 3u) << ran.output;
  EXPECT_EQ(rows.at(ReportPath(mail)), ReportPath(result) + ",converted,");
  EXPECT_EQ(rows.at(ReportPath(contact)), ",refused,Item is not a mail message (IPM.Contact)");
  const std::string failed = rows.at(ReportPath(damaged));
  EXPECT_EQ(failed.rfind(",failed,", 0), 0u) << failed;
  EXPECT_NE(failed.find("Cannot read the message: "), std::string::npos) << failed;
  EXPECT_EQ(GetFileAttributesW(Long(out / L"mailvane-report.csv.pending").c_str()), INVALID_FILE_ATTRIBUTES);

  // Again into the same tree: the result there stays, the new one gets " (2)".
  ran = RunConvert(arguments);
  EXPECT_EQ(ran.exit_code, 1u) << ran.output;
  EXPECT_EQ(ReadLong(result), eml);
  EXPECT_EQ(ReadLong(out / deep / L"2019" / L"\u041E\u0442\u0447\u0451\u0442 \u65E5\u672C (2).eml").size(), eml.size());

  // "- -": the same message through the standard streams, byte for byte (no
  // line-end translation either way).
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE input = CreateFileW(Long(mail).c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(input, INVALID_HANDLE_VALUE);
  ran = RunConvert(L"- -", input);
  CloseHandle(input);
  EXPECT_EQ(ran.exit_code, 0u);
  EXPECT_EQ(ran.output.size(), eml.size());
  EXPECT_EQ(ran.output.find("\r\r\n"), std::string::npos);
  EXPECT_NE(ran.output.find("Subject: Quarterly figures\r\n"), std::string::npos);
}

}  // namespace
