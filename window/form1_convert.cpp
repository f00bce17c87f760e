// "Start Converting": the batch conversion run, driven through the window's
// controls. The run itself lives in conversion/; this file only lets it see the
// window.
#include <chrono>

#include "conversion/batch_run.h"
#include "conversion/carried_tool.h"
#include "window/form1.h"

namespace window {

namespace {

class ProgressBarSink : public conversion::ProgressSink {
 public:
  explicit ProgressBarSink(Face& face) : face_(face) {}
  std::string Text() const override { return face_.ProgressText(); }
  void SetText(const std::string& text) override { face_.SetProgressText(text); }
  double Value() const override { return face_.ProgressValue(); }
  void SetValue(double value) override { face_.SetProgressValue(value); }

 private:
  Face& face_;
};

// Every read goes to the control itself, so what the user changes during a run
// counts from the next item on.
class Form1Host : public conversion::BatchHost {
 public:
  Form1Host(Form1& form, Face& face, platform::Dialogs& dialogs, platform::EventPump& pump)
      : form_(form), face_(face), dialogs_(dialogs), pump_(pump), bar_(face) {}
  int ItemCount() override { return face_.ItemCount(); }
  std::string ItemText(int index1) override { return face_.ItemText(index1); }
  std::string WorkingFolder() override { return face_.Text1Value(); }
  bool Option1Selected() override { return face_.Option1Value(); }
  bool Option2Selected() override { return face_.Option2Value(); }
  conversion::ProgressSink& Bar() override { return bar_; }
  void SetHourglass() override { form_.SetHourglass(); }
  void SetDefaultPointer() override { form_.SetDefaultPointer(); }
  platform::Dialogs& Dialogs() override { return dialogs_; }
  platform::EventPump& Pump() override { return pump_; }
  std::span<const std::byte> ToolImage() override {
    if (!form_.conversion_tool_image) return conversion::CarriedToolImage();
    image_ = form_.conversion_tool_image();
    return image_;
  }

 private:
  Form1& form_;
  Face& face_;
  platform::Dialogs& dialogs_;
  platform::EventPump& pump_;
  ProgressBarSink bar_;
  std::vector<std::byte> image_;
};

}  // namespace

void Form1::PushButton2_Click() {
  Form1Host host(*this, face_, dialogs_, pump_);
  conversion::ProcessToolRunner runner(pump_, std::chrono::milliseconds(conversion_cycle_ms),
                                       &running_tool_);
  conversion::BatchOptions options;
  options.tool_folder = conversion_tool_folder;
  conversion::RunBatchConversion(host, runner, ConversionBusy, options);
}

}  // namespace window
