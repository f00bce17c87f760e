// "Start Converting": every row of the list, in list order, goes through the
// converter tool, and each result gets its final name and place.
//
// The list, the output folder and the options are read from the controls anew
// at each step that uses them, so a change made while the run waits for the
// tool takes effect from the next item. A failing step is shown in the error
// report under this handler's location with its step number, and the run goes
// on with the next step. conversion/ does the mechanics: placing the tool,
// running it, naming and moving its result.
#include <chrono>
#include <unordered_set>

#include "conversion/carried_tool.h"
#include "conversion/result_files.h"
#include "conversion/tool_place.h"
#include "platform/error_report.h"
#include "platform/path_helpers.h"
#include "window/form1.h"

namespace window {

namespace {

// Clears the window's busy flag however the run leaves.
class BusyReset {
 public:
  explicit BusyReset(bool& flag) : flag_(flag) {}
  ~BusyReset() { flag_ = false; }
  BusyReset(const BusyReset&) = delete;
  BusyReset& operator=(const BusyReset&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void Form1::PushButton2_Click() {
  platform::Guard guard(dialogs_, Location("PushButton2_Click"));
  if (guard.ExitIf(100, [&] { return ConversionBusy; })) return;
  guard.Step(102, [&] { ConversionBusy = true; });
  BusyReset busy_reset(ConversionBusy);

  if (guard.If(104, [&] { return face_.ItemCount() == 0; })) {
    guard.Step(164, [&] { dialogs_.ShowMessage("No files added."); });
    return;
  }
  // With Save Option 2 the working folder is not checked.
  if (guard.If(106, [&] { return !platform::IsFolder(face_.Text1Value()) && !face_.Option2Value(); })) {
    guard.Step(162, [&] { dialogs_.ShowMessage("Folder does not exist. Please select another folder."); });
    return;
  }

  guard.Step(108, [&] { SetHourglass(); });
  std::vector<std::byte> loaded;
  std::span<const std::byte> image;
  guard.Step(110, [&] {
    if (conversion_tool_image) {
      loaded = conversion_tool_image();
      image = loaded;
    } else {
      image = conversion::CarriedToolImage();
    }
  });
  std::string tool_path;
  guard.Step(112, [&] {
    // Without an image (its load was reported at 110) there is nothing to run;
    // the items then fail one by one.
    if (image.empty()) return;
    const std::string folder =
        conversion_tool_folder.empty() ? conversion::PrivateToolFolder() : conversion_tool_folder;
    tool_path = conversion::PlaceTool(image, folder, pump_);
  });
  image = {};
  loaded = {};

  conversion::ProcessToolRunner process_runner(pump_, std::chrono::milliseconds(conversion_cycle_ms),
                                               &running_tool_);
  conversion::ToolRunner& runner = conversion_runner != nullptr ? *conversion_runner : process_runner;
  // What the bar shows as the run set it: the wait counts on from there.
  std::string bar_text = "Progress Bar";
  double bar_value = 0;
  int count = 0;
  guard.Step(114, [&] { count = face_.ItemCount(); });
  for (int i = 1; i <= count; ++i) {
    std::string source;
    guard.Step(116, [&] { source = face_.ItemText(i); });
    guard.Step(118, [&] {
      const int now = face_.ItemCount();
      if (now <= 0) throw platform::Failure("Division by zero");
      bar_value = static_cast<double>(i) / now * 100.0;
      face_.SetProgressValue(bar_value);
    });
    guard.Step(120, [&] {
      bar_text = "Processing: " + platform::FileNameOf(source);
      face_.SetProgressText(bar_text);
    });
    guard.Step(122, [&] { pump_.Yield(); });
    guard.Step(124, [&] { SetHourglass(); });

    // Option1 is tested first; with neither option selected the item goes to
    // the output folder, as under Option1.
    std::string target;
    if (guard.If(126, [&] { return face_.Option1Value() || !face_.Option2Value(); })) {
      guard.Step(128, [&] {
        target = conversion::TargetPathFor(source, platform::WithTrailingSeparator(face_.Text1Value()));
      });
    } else {
      guard.Step(132, [&] {
        std::string folder = platform::FolderOf(source);
        // A bare file name lives in the current folder, not in the root.
        if (folder.empty()) folder = std::string(".") + platform::kSeparator;
        target = conversion::TargetPathFor(source, folder);
      });
    }

    std::string working;
    std::vector<std::string> arguments;
    std::unordered_set<std::string> before;
    guard.Step(136, [&] {
      working = platform::WithTrailingSeparator(face_.Text1Value());
      arguments = {source, working};
      // What is there before the tool runs, to tell its result apart. An empty
      // folder text names no folder (not the current one).
      if (!working.empty()) before = conversion::FolderEntries(working);
    });
    guard.Step(138, [&] {
      runner.RunAndWait(tool_path, arguments, &face_, bar_text, conversion::RoundHalfToEven(bar_value),
                        face_.ItemCount());
    });
    std::vector<std::string> fresh;
    guard.Step(140, [&] {
      if (!working.empty()) fresh = conversion::NewResultNames(working, before);
    });
    // Exactly one new .eml is a result. None is a failed conversion; more than
    // one cannot be told apart from attachments a failed run left behind, so
    // nothing is moved and the item counts as failed.
    if (fresh.size() == 1) {
      guard.Step(146, [&] {
        const std::string result = working + fresh.front();
        try {
          conversion::MoveResultInPlace(result, target);
        } catch (const platform::Failure& failure) {
          const std::string kept = working + platform::FileNameOf(target);
          throw platform::Failure(std::string(failure.what()) + ". " +
                                  conversion::KeepResultAfterFailedMove(result, kept));
        }
      });
    } else {
      guard.Step(148, [&] { dialogs_.ShowMessage("Failed to convert: " + source); });
    }
  }

  guard.Step(152, [&] {
    if (!tool_path.empty()) platform::RemoveFile(tool_path, pump_);
  });
  guard.Step(154, [&] { SetDefaultPointer(); });
  guard.Step(156, [&] { face_.SetProgressValue(0); });
  guard.Step(158, [&] { face_.SetProgressText("Progress Bar"); });
  guard.Step(160, [&] { dialogs_.ShowMessage("Done."); });
}

}  // namespace window
