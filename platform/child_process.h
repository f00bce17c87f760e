// One started program: the tool runner waits for one conversion, and the
// archive converter talks to its long-lived workers over their console. One
// implementation per system: child_process_posix.cpp (posix_spawn, waitpid) and
// child_process_windows.cpp (CreateProcessW without a console window).
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

class ChildProcess {
 public:
  ChildProcess();
  ~ChildProcess();  // kills and reaps a program still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Where the program's console input and output go: nowhere, or into pipes
  // that WriteInput and ReadOutput use. Its error output always goes nowhere.
  enum class Console { kNone, kPipes };

  // Starts `program` with `arguments` (no shell). Returns 0, or the system's
  // error number when it cannot start (errno values on POSIX systems,
  // GetLastError values on Windows).
  int Start(const std::string& program, const std::vector<std::string>& arguments,
            Console console = Console::kNone);
  // With Console::kPipes, blocking: writes all `size` bytes to the program's
  // input (false when it cannot, as once the program has ended; a broken pipe
  // never raises a signal), or reads up to `size` bytes of its output (the count,
  // 0 once the program has ended or closed its output, -1 on an error).
  bool WriteInput(const void* data, size_t size);
  long ReadOutput(void* data, size_t size);
  // Ends the program's input, so that a program reading it sees the end.
  void CloseInput();
  // True until the program has ended (and was reaped).
  bool Running();
  // Waits until the program ends or `limit` has passed.
  void WaitFor(std::chrono::milliseconds limit);
  // The exit code once ended; a program ended by a signal gives 128 + signal.
  int ExitCode() const { return exit_code_; }
  // Asks the program to stop (SIGTERM; on Windows it is ended at once), or ends
  // it outright. Neither reaps it, so a Kill from another thread (a watchdog
  // ending a program that another thread waits for in ReadOutput) is safe as
  // long as the caller orders it against Running(); the read then sees the end.
  void Terminate();
  void Kill();

 private:
  struct Handle;
  Handle* handle_;
  int exit_code_ = 0;
};

// The command line of `program` and `arguments` quoted by the Windows rules, so
// that the started program's argument parser gets each text back unchanged.
std::string WindowsCommandLine(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace platform
