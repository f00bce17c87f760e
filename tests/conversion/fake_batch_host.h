// The window as the batch run sees it, with a converter script as the carried
// tool, for driving the run without a window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "conversion/batch_run.h"
#include "platform/error_report.h"
#include "tests/conversion/fake_progress.h"
#include "tests/support/scripted_dialogs.h"

// A converter for tests, chosen by the source's name: "nothing" writes no file
// (and says so on its console, which nobody reads), "crash" exits with 3, "two"
// writes two .eml files, "slow" writes its process id to the source's path +
// ".pid" and takes 20 seconds (ended early by SIGTERM); anything else writes one
// .eml under a fresh generated name holding "converted:" and the source's bytes.
inline const std::string kTestConverter = R"(#!/bin/sh
src="$1"; out="$2"
case "$src" in
  *nothing*) echo "cannot convert"; exit 0 ;;
  *slow*) trap 'kill $! 2>/dev/null; exit 143' TERM; sleep 20 & echo $$ > "$src.pid"; wait $! ;;
  *crash*) exit 3 ;;
  *two*) printf one > "${out}r1-$$.eml"; printf two > "${out}r2-$$.eml"; exit 0 ;;
esac
[ -f "$src" ] || exit 0
n=0
while [ -e "${out}gen-$$-$n.eml" ]; do n=$((n+1)); done
{ printf converted:; cat "$src"; } > "${out}gen-$$-$n.eml"
)";

class FakeBatchHost : public conversion::BatchHost {
 public:
  int ItemCount() override { return static_cast<int>(items.size()); }
  std::string ItemText(int index1) override {
    if (on_item_text) on_item_text(index1);
    return index1 >= 1 && index1 <= ItemCount() ? items[static_cast<size_t>(index1 - 1)] : std::string();
  }
  std::string WorkingFolder() override { return working_folder; }
  bool Option1Selected() override { return option1; }
  bool Option2Selected() override { return option2; }
  conversion::ProgressSink& Bar() override { return bar; }
  void SetHourglass() override {
    hourglass = true;
    ++hourglass_calls;
  }
  void SetDefaultPointer() override { hourglass = false; }
  platform::Dialogs& Dialogs() override { return dialogs; }
  platform::EventPump& Pump() override { return pump; }
  std::span<const std::byte> ToolImage() override {
    ++images_loaded;
    if (image_fails) throw platform::Failure("Resource not found");
    return {reinterpret_cast<const std::byte*>(image.data()), image.size()};
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& message : dialogs.messages) out.push_back(message.text);
    return out;
  }

  std::vector<std::string> items;
  std::string working_folder;
  bool option1 = true;
  bool option2 = false;
  FakeProgress bar;
  bool hourglass = false;
  int hourglass_calls = 0;
  int images_loaded = 0;
  bool image_fails = false;
  std::string image = kTestConverter;
  std::function<void(int)> on_item_text;
  testing_support::ScriptedDialogs dialogs;
  testing_support::ScriptedPump pump;
};
