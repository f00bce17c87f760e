// A fresh folder per test, removed afterwards, and UTF-8 text to and from
// std::filesystem paths (on Windows a plain std::string would pass through the
// ANSI code page).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// Its empty Yield() macro would swallow EventPump::Yield in a header read later.
#undef Yield
#endif

namespace testing_support {

#ifdef _WIN32
// std::filesystem's folder listing on Windows goes through the C runtime, which
// cannot list a folder whose path runs past 260 characters (it lists another
// one). A tree made that deep is removed through the system's own calls, in the
// extended-length form.
inline void RemoveTree(const std::filesystem::path& folder) {
  const std::wstring path = folder.wstring().starts_with(L"\\\\?\\") ? folder.wstring()
                                                                        : L"\\\\?\\" + folder.wstring();
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileW(child.c_str());
      } else if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        RemoveDirectoryW(child.c_str());
      } else {
        RemoveTree(child);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}
#endif

inline std::filesystem::path U8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string U8Text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

inline bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out);
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<unreadable>";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Seven nested folders, in Cyrillic and CJK, whose names alone come to 293
// characters: past the 260 of Windows' usual path form wherever they are made.
inline std::string DeepFolders(char separator) {
  // "Архив переписки 2019 年度報告書類 отдела продаж"
  const std::string name =
      "\xd0\x90\xd1\x80\xd1\x85\xd0\xb8\xd0\xb2 \xd0\xbf\xd0\xb5\xd1\x80\xd0\xb5\xd0\xbf\xd0\xb8\xd1\x81"
      "\xd0\xba\xd0\xb8 2019 \xe5\xb9\xb4\xe5\xba\xa6\xe5\xa0\xb1\xe5\x91\x8a\xe6\x9b\xb8\xe9\xa1\x9e "
      "\xd0\xbe\xd1\x82\xd0\xb4\xd0\xb5\xd0\xbb\xd0\xb0 \xd0\xbf\xd1\x80\xd0\xbe\xd0\xb4\xd0\xb0\xd0\xb6";
  std::string path;
  for (int level = 0; level < 7; ++level) path += (level > 0 ? std::string(1, separator) : "") + name;
  return path;
}

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    static int counter = 0;
    path = std::filesystem::temp_directory_path() /
           (std::string("mv-") + (info != nullptr ? info->name() : "test") + "-" +
            std::to_string(++counter));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~TempDir() {
#ifdef _WIN32
    RemoveTree(path);
#endif
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add |
                                       std::filesystem::perm_options::nofollow, ec);
    }
    std::filesystem::remove_all(path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // UTF-8 path of `name` inside the folder, in the system's own form.
  std::string File(const std::string& name) const { return U8Text(path / U8Path(name)); }
  std::string Path() const { return U8Text(path); }
};

}  // namespace testing_support
