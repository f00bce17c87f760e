#include "platform/error_report.h"

#include <cstring>
#include <exception>

namespace platform {

namespace {

QString DescriptionOf(const std::exception& e) { return QString::fromUtf8(e.what()); }

}  // namespace

void FailWithErrno(const QString& what, int error) {
  const QString system = QString::fromLocal8Bit(std::strerror(error));
  throw Failure((what.isEmpty() ? system : what + QStringLiteral(": ") + system).toStdString());
}

QString ProcedureLocation(const char* project, const char* module, const char* procedure) {
  return QStringLiteral("in ") + QLatin1String(project) + QStringLiteral("2021/08/31.") +
         QLatin1String(module) + u'.' + QLatin1String(procedure) + u' ';
}

QString ErrorReportText(const QString& description, const QString& location, int step) {
  return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
         QString::number(step) + QStringLiteral("\r\r") +
         QStringLiteral("Please email screenshot of this message to ") +
         QString::fromLatin1(kSupportAddress);
}

void ShowErrorReport(Dialogs& dialogs, const QString& location, const QString& description,
                     int step) {
  dialogs.ShowMessage(ErrorReportText(description, location, step),
                      QStringLiteral("Application Error"), MessageIcon::kWarning);
}

void Guard::Report(int number, const QString& description) {
  ShowErrorReport(dialogs_, location_, description, number);
}

bool Guard::Step(int number, const std::function<void()>& body) {
  try {
    body();
    return true;
  } catch (const std::exception& e) {
    Report(number, DescriptionOf(e));
  } catch (...) {
    Report(number, QStringLiteral("Unknown error"));
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
