// A progress bar that records every text and value set on it.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "conversion/tool_runner.h"

class FakeProgress : public conversion::ProgressSink {
 public:
  QString Text() const override { return text; }
  void SetText(const QString& value) override {
    text = value;
    texts.append(value);
  }
  double Value() const override { return value; }
  void SetValue(double v) override {
    value = v;
    values.push_back(v);
  }

  QString text = QStringLiteral("Progress Bar");
  double value = 0;
  QStringList texts;
  std::vector<double> values;
};
