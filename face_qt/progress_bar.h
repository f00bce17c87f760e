// ProgressBar1: a bar that shows a line of text over it and holds a real value.
//
// The value is kept exactly as set (a run may set more than the maximum, for
// example when the list grew while it ran); the drawn bar is capped at full and
// at empty, and a value that is not a number draws empty.
#pragma once

#include <QString>
#include <QWidget>

class ProgressBar : public QWidget {
  Q_OBJECT

 public:
  explicit ProgressBar(QWidget* parent = nullptr);

  void setText(const QString& text);
  QString text() const { return text_; }

  void setRealValue(double value);
  double realValue() const { return value_; }

  // The range the value is drawn against; 0 to 100 unless set.
  void setMinimum(double minimum);
  void setMaximum(double maximum);
  double minimum() const { return minimum_; }
  double maximum() const { return maximum_; }

  // Share of the bar drawn filled, 0 to 1.
  double FilledFraction() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  double value_ = 0;
  double minimum_ = 0;
  double maximum_ = 100;
};
