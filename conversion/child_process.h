// One started program, as the tool runner waits for it. One implementation per
// system: child_process_posix.cpp (posix_spawn, waitpid) and
// child_process_windows.cpp (CreateProcessW without a console window).
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace conversion {

class ChildProcess {
 public:
  ChildProcess();
  ~ChildProcess();  // kills and reaps a program still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `program` with `arguments` (no shell; console input and output go
  // nowhere). Returns 0, or the system's error number when it cannot start
  // (errno values on POSIX systems, GetLastError values on Windows).
  int Start(const std::string& program, const std::vector<std::string>& arguments);
  // True until the program has ended (and was reaped).
  bool Running();
  // Waits until the program ends or `limit` has passed.
  void WaitFor(std::chrono::milliseconds limit);
  // The exit code once ended; a program ended by a signal gives 128 + signal.
  int ExitCode() const { return exit_code_; }
  // Asks the program to stop (SIGTERM; on Windows it is ended at once), or ends
  // it outright.
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

}  // namespace conversion
