#include "face_qt/progress_bar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cmath>

ProgressBar::ProgressBar(QWidget* parent) : QWidget(parent) {}

void ProgressBar::setText(const QString& text) {
  text_ = text;
  update();
}

void ProgressBar::setRealValue(double value) {
  value_ = value;
  update();
}

void ProgressBar::setMinimum(double minimum) {
  minimum_ = minimum;
  update();
}

void ProgressBar::setMaximum(double maximum) {
  maximum_ = maximum;
  update();
}

double ProgressBar::FilledFraction() const {
  const double range = maximum_ - minimum_;
  if (!std::isfinite(value_) || !(range > 0)) return 0;
  return std::clamp((value_ - minimum_) / range, 0.0, 1.0);
}

void ProgressBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  painter.fillRect(rect(), palette().color(QPalette::Base));
  const QRect inner = rect().adjusted(2, 2, -2, -2);
  const int filled = static_cast<int>(std::lround(inner.width() * FilledFraction()));
  if (filled > 0) {
    painter.fillRect(QRect(inner.left(), inner.top(), filled, inner.height()),
                     palette().color(QPalette::Highlight));
  }
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(frame);

  // The text sits centred over both parts; it takes the contrasting colour over
  // the filled part.
  const QRect filled_rect(inner.left(), inner.top(), filled, inner.height());
  painter.setPen(palette().color(QPalette::Text));
  painter.setClipRect(QRect(inner.left() + filled, inner.top(), inner.width() - filled, inner.height()));
  painter.drawText(inner, Qt::AlignCenter, text_);
  painter.setPen(palette().color(QPalette::HighlightedText));
  painter.setClipRect(filled_rect);
  painter.drawText(inner, Qt::AlignCenter, text_);
}
