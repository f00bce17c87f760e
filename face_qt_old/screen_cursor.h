// Where the mouse pointer is on the screen, in screen pixels. The list's edge
// scrolling reads it; tests set it.
#pragma once

#include <QPoint>

class ScreenCursor {
 public:
  virtual ~ScreenCursor() = default;
  virtual QPoint Position() const = 0;
};
