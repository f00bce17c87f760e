// "Start Converting": the batch conversion run, driven through the window's
// controls. The run itself lives in conversion/; this file only lets it see the
// window.
#include <chrono>

#include "app/form1.h"
#include "conversion/batch_run.h"
#include "conversion/carried_tool.h"

namespace {

class ProgressBarSink : public conversion::ProgressSink {
 public:
  explicit ProgressBarSink(ProgressBar& bar) : bar_(bar) {}
  QString Text() const override { return bar_.text(); }
  void SetText(const QString& text) override { bar_.setText(text); }
  double Value() const override { return bar_.realValue(); }
  void SetValue(double value) override { bar_.setRealValue(value); }

 private:
  ProgressBar& bar_;
};

// Every read goes to the control itself, so what the user changes during a run
// counts from the next item on.
class Form1Host : public conversion::BatchHost {
 public:
  explicit Form1Host(Form1& form) : form_(form), bar_(*form.ProgressBar1) {}
  int ItemCount() override { return form_.ItemCount(); }
  QString ItemText(int index1) override { return form_.ItemText(index1); }
  QString WorkingFolder() override { return form_.Text1->text(); }
  bool Option1Selected() override { return form_.Option1->isChecked(); }
  bool Option2Selected() override { return form_.Option2->isChecked(); }
  conversion::ProgressSink& Bar() override { return bar_; }
  void SetHourglass() override { form_.SetHourglass(); }
  void SetDefaultPointer() override { form_.SetDefaultPointer(); }
  platform::Dialogs& Dialogs() override { return form_.Dialogs(); }
  platform::EventPump& Pump() override { return form_.Pump(); }
  QByteArray ToolImage() override {
    return form_.conversion_tool_image ? form_.conversion_tool_image()
                                       : conversion::CarriedToolImage();
  }

 private:
  Form1& form_;
  ProgressBarSink bar_;
};

}  // namespace

void Form1::PushButton2_Click() {
  Form1Host host(*this);
  conversion::ProcessToolRunner runner(Pump(), std::chrono::milliseconds(conversion_cycle_ms),
                                       &running_tool_);
  conversion::BatchOptions options;
  options.tool_folder = conversion_tool_folder;
  conversion::RunBatchConversion(host, runner, ConversionBusy, options);
}
