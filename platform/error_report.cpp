#include "platform/error_report.h"

#include <cstring>
#include <exception>

namespace platform {

void FailWithErrno(const std::string& what, int error) {
  const std::string system = std::strerror(error);
  throw Failure(what.empty() ? system : what + ": " + system);
}

std::string ProcedureLocation(const char* project, const char* module, const char* procedure) {
  return std::string("in ") + project + "2021/08/31." + module + '.' + procedure + ' ';
}

std::string ErrorReportText(const std::string& description, const std::string& location,
                            int step) {
  return description + "\r\n" + location + "at line " + std::to_string(step) + "\r\r" +
         "Please email screenshot of this message to " + kSupportAddress;
}

void ShowErrorReport(Dialogs& dialogs, const std::string& location, const std::string& description,
                     int step) {
  dialogs.ShowMessage(ErrorReportText(description, location, step), "Application Error",
                      MessageIcon::kWarning);
}

void Guard::Report(int number, const std::string& description) {
  ShowErrorReport(dialogs_, location_, description, number);
}

bool Guard::Step(int number, const std::function<void()>& body) {
  try {
    body();
    return true;
  } catch (const std::exception& e) {
    Report(number, e.what());
  } catch (...) {
    Report(number, "Unknown error");
  }
  return false;
}

bool Guard::If(int number, const std::function<bool()>& test) {
  bool result = true;
  Step(number, [&] { result = test(); });
  return result;
}

bool Guard::ExitIf(int number, const std::function<bool()>& test) {
  bool result = false;
  Step(number, [&] { result = test(); });
  return result;
}

}  // namespace platform
