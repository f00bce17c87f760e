// ChildProcess on Windows: CreateProcessW with no console window, the command
// line quoted by the Windows rules.
#include <windows.h>

#include "platform/child_process.h"
#include "platform/windows_text.h"

namespace platform {

struct ChildProcess::Handle {
  HANDLE process = nullptr;
  HANDLE input = nullptr;   // the write end of the program's standard input
  HANDLE output = nullptr;  // the read end of its standard output
  void ClosePipes() {
    if (input != nullptr) CloseHandle(input);
    if (output != nullptr) CloseHandle(output);
    input = output = nullptr;
  }
};

ChildProcess::ChildProcess() : handle_(new Handle) {}

ChildProcess::~ChildProcess() {
  if (Running()) {
    Kill();
    WaitForSingleObject(handle_->process, INFINITE);
  }
  if (handle_->process != nullptr) CloseHandle(handle_->process);
  handle_->ClosePipes();
  delete handle_;
}

int ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments, Console console) {
  if (program.empty() || program.find('\0') != std::string::npos) return ERROR_FILE_NOT_FOUND;
  std::wstring line = platform::WideFromUtf8(WindowsCommandLine(program, arguments));
  const std::wstring application = platform::WideFromUtf8(program);
  // Console input and output go nowhere.
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE null_in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
  HANDLE null_out = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr);
  // The program's ends of the pipes are inherited; ours are not.
  HANDLE in_read = nullptr, in_write = nullptr, out_read = nullptr, out_write = nullptr;
  if (console == Console::kPipes) {
    if (!CreatePipe(&in_read, &in_write, &inherit, 0) || !CreatePipe(&out_read, &out_write, &inherit, 0)) {
      const DWORD error = GetLastError();
      for (HANDLE h : {in_read, in_write, out_read, out_write, null_in, null_out}) {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
      }
      return static_cast<int>(error);
    }
    SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = console == Console::kPipes ? in_read : null_in;
  startup.hStdOutput = console == Console::kPipes ? out_write : null_out;
  startup.hStdError = null_out;
  PROCESS_INFORMATION info{};
  const BOOL started = CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
  const DWORD error = started ? 0 : GetLastError();
  if (null_in != INVALID_HANDLE_VALUE) CloseHandle(null_in);
  if (null_out != INVALID_HANDLE_VALUE) CloseHandle(null_out);
  if (console == Console::kPipes) {
    CloseHandle(in_read);
    CloseHandle(out_write);
    if (!started) {
      CloseHandle(in_write);
      CloseHandle(out_read);
    }
  }
  if (!started) return static_cast<int>(error);
  handle_->ClosePipes();
  handle_->input = in_write;
  handle_->output = out_read;
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

bool ChildProcess::WriteInput(const void* data, size_t size) {
  if (handle_->input == nullptr) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    const DWORD step = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!WriteFile(handle_->input, bytes, step, &written, nullptr)) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

long ChildProcess::ReadOutput(void* data, size_t size) {
  if (handle_->output == nullptr) return -1;
  DWORD got = 0;
  const DWORD step = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!ReadFile(handle_->output, data, step, &got, nullptr)) {
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return static_cast<long>(got);
}

void ChildProcess::CloseInput() {
  if (handle_->input != nullptr) CloseHandle(handle_->input);
  handle_->input = nullptr;
}

// A console program without a window has no message to ask it to stop.
void ChildProcess::Terminate() { Kill(); }

void ChildProcess::Kill() {
  if (handle_->process != nullptr) TerminateProcess(handle_->process, 1);
}

}  // namespace platform
