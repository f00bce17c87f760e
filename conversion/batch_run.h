// The batch conversion run behind "Start Converting": every item of the file
// list, in list order, goes through the converter tool, and each result gets its
// final name and place.
//
// The run talks to the window only through BatchHost, so it is driven from tests
// without one. It reads the list, the output folder and the save options anew at
// each item, so a change made during the run takes effect from the next item.
// Failures of its steps are shown in the error report under the location of
// the "Start Converting" handler (PushButton2_Click) with the step's number, and
// the run goes on with the next step.
#pragma once

#include <chrono>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "conversion/tool_runner.h"
#include "conversion/result_files.h"
#include "platform/dialogs.h"

namespace conversion {

// The window as the run sees it.
class BatchHost {
 public:
  virtual ~BatchHost() = default;
  virtual int ItemCount() = 0;
  // Text of item `index1` (1-based).
  virtual std::string ItemText(int index1) = 0;
  // The output folder as typed (Text1).
  virtual std::string WorkingFolder() = 0;
  virtual bool Option1Selected() = 0;
  virtual bool Option2Selected() = 0;
  virtual ProgressSink& Bar() = 0;
  virtual void SetHourglass() = 0;
  virtual void SetDefaultPointer() = 0;
  virtual platform::Dialogs& Dialogs() = 0;
  virtual platform::EventPump& Pump() = 0;
  // The carried tool's executable image, valid until the run ends; throws when
  // it cannot be loaded.
  virtual std::span<const std::byte> ToolImage() = 0;
};

// Starts the tool once and waits for it (RunAndWait's contract).
class ToolRunner {
 public:
  virtual ~ToolRunner() = default;
  virtual int RunAndWait(const std::string& program, const std::vector<std::string>& arguments,
                         ProgressSink* bar, const std::string& text, int start_value, int total) = 0;
};

// The real runner: a process per call, waited for in cycles of `cycle`, and
// watched by `running` (when given) while it runs.
class ProcessToolRunner : public ToolRunner {
 public:
  explicit ProcessToolRunner(platform::EventPump& pump,
                             std::chrono::milliseconds cycle = kWaitCycle,
                             RunningTool* running = nullptr)
      : pump_(pump), cycle_(cycle), running_(running) {}
  int RunAndWait(const std::string& program, const std::vector<std::string>& arguments,
                 ProgressSink* bar, const std::string& text, int start_value, int total) override;

 private:
  platform::EventPump& pump_;
  std::chrono::milliseconds cycle_;
  RunningTool* running_;
};

struct BatchOptions {
  // The folder the tool is written to; empty means PrivateToolFolder().
  std::string tool_folder;
};

// The run. `conversion_busy` is the window's ConversionBusy flag: a call while it
// is set does nothing, and it is clear again when the call returns. A result
// that cannot be moved to its target is kept in the working folder under the
// target's file name, never over a file there, or else removed; the report of
// the failed move says which.
void RunBatchConversion(BatchHost& host, ToolRunner& runner, bool& conversion_busy,
                        const BatchOptions& options = {});

// The target of a result: the folder (output folder under Option1, the source's
// folder under Option2) joined with the source's base name and ".eml", with the
// joined separators collapsed (native path style).
std::string TargetPathFor(const std::string& source_path, const std::string& folder);

}  // namespace conversion
