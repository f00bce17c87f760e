#include "conversion/batch_run.h"

#include <unordered_set>

#include "conversion/result_files.h"
#include "conversion/tool_place.h"
#include "platform/error_report.h"
#include "platform/path_helpers.h"

namespace conversion {

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

int ProcessToolRunner::RunAndWait(const std::string& program,
                                  const std::vector<std::string>& arguments, ProgressSink* bar,
                                  const std::string& text, int start_value, int total) {
  return conversion::RunAndWait(program, arguments, bar, text, start_value, total, pump_, cycle_,
                                running_);
}

std::string TargetPathFor(const std::string& source_path, const std::string& folder) {
  return platform::CollapseBackslashes(folder + platform::kSeparator +
                                       platform::StripExtension(platform::FileNameOf(source_path)) +
                                       ".eml");
}

void RunBatchConversion(BatchHost& host, ToolRunner& runner, bool& conversion_busy,
                        const BatchOptions& options) {
  // The run is the window's "Start Converting" handler and reports as such.
  platform::Guard guard(host.Dialogs(),
                        platform::ProcedureLocation("Quorvex", "Form1", "PushButton2_Click"));
  if (guard.ExitIf(100, [&] { return conversion_busy; })) return;
  guard.Step(102, [&] { conversion_busy = true; });
  BusyReset busy_reset(conversion_busy);

  if (guard.If(104, [&] { return host.ItemCount() == 0; })) {
    guard.Step(164, [&] { host.Dialogs().ShowMessage("No files added."); });
    return;
  }
  // With Save Option 2 the working folder is not checked.
  if (guard.If(106, [&] {
        return !platform::IsFolder(host.WorkingFolder()) && !host.Option2Selected();
      })) {
    guard.Step(162, [&] {
      host.Dialogs().ShowMessage("Folder does not exist. Please select another folder.");
    });
    return;
  }

  guard.Step(108, [&] { host.SetHourglass(); });
  std::span<const std::byte> image;
  guard.Step(110, [&] { image = host.ToolImage(); });
  std::string tool_path;
  guard.Step(112, [&] {
    // Without an image (its load was reported at 110) there is nothing to run;
    // the items then fail one by one.
    if (image.empty()) return;
    const std::string folder =
        options.tool_folder.empty() ? PrivateToolFolder() : options.tool_folder;
    tool_path = PlaceTool(image, folder, host.Pump());
  });
  image = {};

  int count = 0;
  guard.Step(114, [&] { count = host.ItemCount(); });
  for (int i = 1; i <= count; ++i) {
    std::string source;
    guard.Step(116, [&] { source = host.ItemText(i); });
    guard.Step(118, [&] {
      const int now = host.ItemCount();
      if (now <= 0) throw platform::Failure("Division by zero");
      host.Bar().SetValue(static_cast<double>(i) / now * 100.0);
    });
    guard.Step(120, [&] {
      host.Bar().SetText("Processing: " + platform::FileNameOf(source));
    });
    guard.Step(122, [&] { host.Pump().Yield(); });
    guard.Step(124, [&] { host.SetHourglass(); });

    // Option1 is tested first; with neither option selected the item goes to
    // the output folder, as under Option1.
    std::string target;
    if (guard.If(126, [&] { return host.Option1Selected() || !host.Option2Selected(); })) {
      guard.Step(128, [&] {
        target = TargetPathFor(source, platform::WithTrailingSeparator(host.WorkingFolder()));
      });
    } else {
      guard.Step(132, [&] {
        std::string folder = platform::FolderOf(source);
        // A bare file name lives in the current folder, not in the root.
        if (folder.empty()) folder = std::string(".") + platform::kSeparator;
        target = TargetPathFor(source, folder);
      });
    }

    std::string working;
    std::vector<std::string> arguments;
    std::unordered_set<std::string> before;
    guard.Step(136, [&] {
      working = platform::WithTrailingSeparator(host.WorkingFolder());
      arguments = {source, working};
      // What is there before the tool runs, to tell its result apart. An empty
      // folder text names no folder (not the current one).
      if (!working.empty()) before = FolderEntries(working);
    });
    guard.Step(138, [&] {
      ProgressSink& bar = host.Bar();
      runner.RunAndWait(tool_path, arguments, &bar, bar.Text(), RoundHalfToEven(bar.Value()),
                        host.ItemCount());
    });
    std::vector<std::string> fresh;
    guard.Step(140, [&] {
      if (!working.empty()) fresh = NewResultNames(working, before);
    });
    // Exactly one new .eml is a result. None is a failed conversion; more than
    // one cannot be told apart from attachments a failed run left behind, so
    // nothing is moved and the item counts as failed.
    if (fresh.size() == 1) {
      guard.Step(146, [&] {
        const std::string result = working + fresh.front();
        try {
          MoveResultInPlace(result, target);
        } catch (const platform::Failure& failure) {
          const std::string kept = working + platform::FileNameOf(target);
          throw platform::Failure(std::string(failure.what()) + ". " +
                                  KeepResultAfterFailedMove(result, kept));
        }
      });
    } else {
      guard.Step(148, [&] {
        host.Dialogs().ShowMessage("Failed to convert: " + source);
      });
    }
  }

  guard.Step(152, [&] {
    if (!tool_path.empty()) platform::RemoveFile(tool_path, host.Pump());
  });
  guard.Step(154, [&] { host.SetDefaultPointer(); });
  guard.Step(156, [&] { host.Bar().SetValue(0); });
  guard.Step(158, [&] { host.Bar().SetText("Progress Bar"); });
  guard.Step(160, [&] { host.Dialogs().ShowMessage("Done."); });
}

}  // namespace conversion
