// ChildProcess on Windows: CreateProcessW with no console window, the command
// line quoted by the Windows rules.
#include <windows.h>

#include "conversion/child_process.h"
#include "platform/windows_text.h"

namespace conversion {

struct ChildProcess::Handle {
  HANDLE process = nullptr;
};

ChildProcess::ChildProcess() : handle_(new Handle) {}

ChildProcess::~ChildProcess() {
  if (Running()) {
    Kill();
    WaitForSingleObject(handle_->process, INFINITE);
  }
  if (handle_->process != nullptr) CloseHandle(handle_->process);
  delete handle_;
}

int ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
  if (program.empty() || program.find('\0') != std::string::npos) return ERROR_FILE_NOT_FOUND;
  std::wstring line = platform::WideFromUtf8(WindowsCommandLine(program, arguments));
  const std::wstring application = platform::WideFromUtf8(program);
  // Console input and output go nowhere.
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE null_in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
  HANDLE null_out = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_in;
  startup.hStdOutput = null_out;
  startup.hStdError = null_out;
  PROCESS_INFORMATION info{};
  const BOOL started = CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
  const DWORD error = started ? 0 : GetLastError();
  if (null_in != INVALID_HANDLE_VALUE) CloseHandle(null_in);
  if (null_out != INVALID_HANDLE_VALUE) CloseHandle(null_out);
  if (!started) return static_cast<int>(error);
  CloseHandle(info.hThread);
  if (handle_->process != nullptr) CloseHandle(handle_->process);
  handle_->process = info.hProcess;
  exit_code_ = 0;
  return 0;
}

bool ChildProcess::Running() {
  if (handle_->process == nullptr) return false;
  if (WaitForSingleObject(handle_->process, 0) == WAIT_TIMEOUT) return true;
  DWORD code = 0;
  GetExitCodeProcess(handle_->process, &code);
  exit_code_ = static_cast<int>(code);
  CloseHandle(handle_->process);
  handle_->process = nullptr;
  return false;
}

void ChildProcess::WaitFor(std::chrono::milliseconds limit) {
  if (handle_->process == nullptr) return;
  WaitForSingleObject(handle_->process, static_cast<DWORD>(limit.count()));
}

// A console program without a window has no message to ask it to stop.
void ChildProcess::Terminate() { Kill(); }

void ChildProcess::Kill() {
  if (handle_->process != nullptr) TerminateProcess(handle_->process, 1);
}

}  // namespace conversion
