// Runs one program and waits for it while the window stays responsive and a
// progress bar tells the user that work is going on.
//
// The wait is a cycle: read whether the process still runs, yield to the message
// loop, wait up to one cycle length (the wait ends early when the process ends),
// count the cycle on the bar, yield again; the cycle that first finds the process
// ended is the last. From cycle 50 on (about five seconds) the bar's text counts
// "Please wait.. N", and every 150 cycles (about 15 seconds) the bar moves one
// step forward within the current item's share, never beyond a cap one step
// below the next item's start. There is no time limit.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace platform {
class ChildProcess;
}  // namespace platform

namespace conversion {

using platform::ChildProcess;

// The progress bar as the runner and the batch run use it: a text and a real
// value (a percentage, which may be set above 100).
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual double Value() const = 0;
  virtual void SetValue(double value) = 0;
};

// The result for a program that cannot be started: this base plus the error
// number of the failure.
inline constexpr int kStartFailureBase = -2147221504;

// The length of one wait cycle.
inline constexpr std::chrono::milliseconds kWaitCycle{100};

// The cycle at which the bar starts counting, and the distance between moves.
inline constexpr int kFirstCountedCycle = 50;
inline constexpr int kCyclesPerStep = 150;

// Nearest whole number, ties to the even neighbour (2.5 gives 2, 3.5 gives 4).
int RoundHalfToEven(double value);

// How far the bar moves for one item of `total` started at `start_value`: one
// step is a tenth of the item's share, and the cap lies one step below the next
// item's start. Total 4, start 25: step 2, cap 48. A total below 1 counts as 1.
struct BarSteps {
  int step = 0;
  int cap = 0;
};
BarSteps BarStepsFor(int start_value, int total);

// The bar's text in counted cycle `tick` (>= 50): `text` + ", " (when `text` is
// not empty) + "Please wait.. " + (tick - 50).
std::string PleaseWaitText(const std::string& text, long long tick);

// How long a program asked to stop may take before it is killed.
inline constexpr std::chrono::milliseconds kStopGrace{3000};

// The program a RunAndWait call is waiting for, so that the window can end it
// when it closes in the middle of the wait: the process outlives the window
// otherwise and writes a result nobody moves.
class RunningTool {
 public:
  // Ends the program being waited for, if any, and returns when it has ended:
  // it is asked to stop (SIGTERM, on which the converter removes its temporary
  // file; on Windows it is ended at once) and killed when it is still running
  // after `grace`.
  void End(std::chrono::milliseconds grace = kStopGrace);

  // For RunAndWait: the process it waits for, or nullptr.
  void Watch(ChildProcess* process) { process_ = process; }

 private:
  ChildProcess* process_ = nullptr;
};

// Starts `program` with `arguments` (no shell; the tool's console output is
// discarded) and waits until it has ended. With a bar, counts cycles on it as
// described above and sets its text back at the end (to `text`, or to
// "Progress Bar" when `text` is empty). Returns the process's exit code, or
// kStartFailureBase + the error number when it cannot be started, in which case
// nothing is waited for and the bar is not touched. Failures of the bar or the
// pump pass to the caller. `cycle` is the length of one wait cycle (tests
// shorten it). While the process runs, `running` (when given) watches it.
int RunAndWait(const std::string& program, const std::vector<std::string>& arguments,
               ProgressSink* bar, const std::string& text, int start_value, int total, platform::EventPump& pump,
               std::chrono::milliseconds cycle = kWaitCycle, RunningTool* running = nullptr);

}  // namespace conversion
