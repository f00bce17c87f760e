// Starts a program from one raw command line, as the window and scripts do on
// Windows, and collects what it writes to standard output and standard error.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

struct Captured {
  DWORD exit_code = 1234;  // stays so when the program could not be started
  std::string output;      // standard output and standard error, as one stream
};

// `"<program>" <arguments>`, with `input` as its standard input when given.
inline Captured RunCaptured(const std::wstring& program, const std::wstring& arguments, HANDLE input = nullptr) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  Captured ran;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return ran;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input != nullptr ? input : GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  std::wstring line = L"\"" + program + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  CloseHandle(write_end);
  if (started) {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(read_end, buffer, sizeof buffer, &n, nullptr) && n > 0) ran.output.append(buffer, n);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &ran.exit_code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(read_end);
  return ran;
}

}  // namespace testing_support
