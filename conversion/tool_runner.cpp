#include "conversion/tool_runner.h"

#include <cfenv>
#include <cmath>

#include "platform/child_process.h"

namespace conversion {

namespace {

// Watches a process for the length of one wait, however the wait is left.
class WatchScope {
 public:
  WatchScope(RunningTool* running, ChildProcess* process) : running_(running) {
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
  if (process_ == nullptr || !process_->Running()) return;
  process_->Terminate();
  process_->WaitFor(grace);
  if (!process_->Running()) return;
  process_->Kill();
  while (process_->Running()) process_->WaitFor(std::chrono::milliseconds(100));
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

std::string PleaseWaitText(const std::string& text, long long tick) {
  std::string out = text;
  if (!out.empty()) out += ", ";
  return out + "Please wait.. " + std::to_string(tick - kFirstCountedCycle);
}

int RunAndWait(const std::string& program, const std::vector<std::string>& arguments,
               ProgressSink* bar, const std::string& text_in, int start_value, int total, platform::EventPump& pump,
               std::chrono::milliseconds cycle, RunningTool* running) {
  // A copy: callers may pass the bar's own text, which the wait overwrites.
  const std::string text = text_in;
  ChildProcess process;
  const int error = process.Start(program, arguments);
  if (error != 0) return kStartFailureBase + error;
  const WatchScope watch(running, &process);

  int exit_code = 0;
  long long tick = 0;
  for (;;) {
    const bool running = process.Running();
    if (!running) exit_code = process.ExitCode();
    pump.Yield();
    // Where the original slept for the whole cycle, this wait ends as soon as
    // the process does; every visible step of the cycle stays the same.
    if (running) process.WaitFor(cycle);
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

  if (bar != nullptr) bar->SetText(text.empty() ? "Progress Bar" : text);
  return exit_code;
}

}  // namespace conversion
