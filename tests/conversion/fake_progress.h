// A progress bar that records every text and value set on it.
#pragma once

#include <string>
#include <vector>

#include "conversion/tool_runner.h"

class FakeProgress : public conversion::ProgressSink {
 public:
  void SetProgressText(const std::string& value) override {
    text = value;
    texts.push_back(value);
  }
  void SetProgressValue(double v) override {
    value = v;
    values.push_back(v);
  }

  std::string text = "Progress Bar";
  double value = 0;
  std::vector<std::string> texts;
  std::vector<double> values;
};
