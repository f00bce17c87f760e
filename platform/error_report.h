// The one error report of every guarded procedure.
//
// A guarded procedure runs as numbered steps through a Guard. A step that fails
// (throws) is reported in one "Application Error" box naming the procedure's
// location string and the step number, and the procedure goes on with its next
// statement:
//   guard.Step(104, [&] { ... });                       // plain statement
//   if (guard.If(142, [&] { return option1; })) ...     // failing test counts as met
//   if (guard.ExitIf(102, [&] { return answer.empty(); })) return;  // failing exit test does not leave
// Failures are exceptions derived from std::exception; their what() is the
// description. The step number is the guarded procedure's, however deep the
// failure happened.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "platform/dialogs.h"

namespace platform {

// A failure of one of our own operations (what the runtime would have raised).
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws Failure with the system's description of `error` (an errno value),
// preceded by `what` and ": " when `what` is not empty.
[[noreturn]] void FailWithErrno(const std::string& what, int error);

// The location string of a guarded procedure: "in " + project + "2021/08/31." +
// module + "." + procedure + " ". Quorvex, Form1, Form_Load gives
// "in Quorvex2021/08/31.Form1.Form_Load ".
std::string ProcedureLocation(const char* project, const char* module, const char* procedure);

// The support address the report names.
inline constexpr char kSupportAddress[] = "support@velmora.example";

// Text of the report: description CRLF location "at line " step CR CR request.
std::string ErrorReportText(const std::string& description, const std::string& location, int step);

// Shows the report: title "Application Error", OK, warning icon.
void ShowErrorReport(Dialogs& dialogs, const std::string& location, const std::string& description,
                     int step);

class Guard {
 public:
  Guard(Dialogs& dialogs, std::string location) : dialogs_(dialogs), location_(std::move(location)) {}

  // Runs one step. Returns false when it failed (after the report).
  bool Step(int number, const std::function<void()>& body);
  // A test whose body does work: a failure counts as met.
  bool If(int number, const std::function<bool()>& test);
  // A test whose body only leaves: a failure counts as not met.
  bool ExitIf(int number, const std::function<bool()>& test);

 private:
  void Report(int number, const std::string& description);

  Dialogs& dialogs_;
  std::string location_;
};

}  // namespace platform
