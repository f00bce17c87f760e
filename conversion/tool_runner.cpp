#include "conversion/tool_runner.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <cfenv>
#include <cmath>

#include <sys/stat.h>
#include <unistd.h>

namespace conversion {

namespace {

// QProcess tells that a start failed but not the system's error number, so the
// number is found again by looking at the program the way exec would.
int StartErrorNumber(const QString& program) {
  if (program.isEmpty()) return ENOENT;
  QString path = program;
  if (!program.contains(u'/')) {
    path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) return ENOENT;
  }
  const QByteArray native = QFile::encodeName(path);
  if (native.contains('\0')) return ENOENT;
  struct stat info;
  if (::stat(native.constData(), &info) != 0) return errno;
  if (!S_ISREG(info.st_mode)) return EACCES;
  if (::access(native.constData(), X_OK) != 0) return errno;
  return ENOEXEC;
}

// Watches a process for the length of one wait, however the wait is left.
class WatchScope {
 public:
  WatchScope(RunningTool* running, QProcess* process) : running_(running) {
    if (running_ != nullptr) running_->Watch(process);
  }
  ~WatchScope() {
    if (running_ != nullptr) running_->Watch(nullptr);
  }
  WatchScope(const WatchScope&) = delete;
  WatchScope& operator=(const WatchScope&) = delete;

 private:
  RunningTool* running_;
};

}  // namespace

void RunningTool::End(std::chrono::milliseconds grace) {
  if (process_ == nullptr || process_->state() == QProcess::NotRunning) return;
  process_->terminate();
  if (process_->waitForFinished(static_cast<int>(grace.count()))) return;
  process_->kill();
  process_->waitForFinished(-1);
}

int RoundHalfToEven(double value) {
  // nearbyint rounds by the current mode; make sure it is to-nearest-even.
  const int saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(value);
  std::fesetround(saved);
  return static_cast<int>(rounded);
}

BarSteps BarStepsFor(int start_value, int total) {
  const double items = total < 1 ? 1.0 : static_cast<double>(total);
  BarSteps steps;
  steps.step = RoundHalfToEven(100.0 / items / 10.0);
  steps.cap = RoundHalfToEven(100.0 / items + start_value - steps.step);
  return steps;
}

QString PleaseWaitText(const QString& text, long long tick) {
  QString out = text;
  if (!out.isEmpty()) out += QStringLiteral(", ");
  return out + QStringLiteral("Please wait.. ") + QString::number(tick - kFirstCountedCycle);
}

int RunAndWait(const QString& program, const QStringList& arguments, ProgressSink* bar,
               const QString& text_in, int start_value, int total, platform::EventPump& pump,
               std::chrono::milliseconds cycle, RunningTool* running) {
  // A copy: callers may pass the bar's own text, which the wait overwrites.
  const QString text = text_in;
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  // Nobody reads the tool's console; a pipe nobody drains could stall it.
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start(QIODevice::NotOpen);
  if (!process.waitForStarted(-1)) return kStartFailureBase + StartErrorNumber(program);
  const WatchScope watch(running, &process);

  const int cycle_ms = static_cast<int>(cycle.count());
  int exit_code = 0;
  long long tick = 0;
  for (;;) {
    const bool running = process.state() != QProcess::NotRunning;
    if (!running) exit_code = process.exitCode();
    pump.Yield();
    // Where the original slept for the whole cycle, this wait ends as soon as
    // the process does; every visible step of the cycle stays the same.
    if (running) process.waitForFinished(cycle_ms);
    if (bar != nullptr) {
      pump.Yield();
      ++tick;
      if (tick >= kFirstCountedCycle) {
        pump.Yield();
        bar->SetText(PleaseWaitText(text, tick));
        const long long counted = tick - kFirstCountedCycle;
        if (counted % kCyclesPerStep == 0) {
          const BarSteps steps = BarStepsFor(start_value, total);
          const double v = static_cast<double>(counted / kCyclesPerStep) * steps.step + start_value;
          bar->SetValue(v >= steps.cap ? static_cast<double>(steps.cap) : v);
        }
        pump.Yield();
      }
      pump.Yield();
    }
    pump.Yield();
    if (!running) break;
  }

  if (bar != nullptr) bar->SetText(text.isEmpty() ? QStringLiteral("Progress Bar") : text);
  return exit_code;
}

}  // namespace conversion
