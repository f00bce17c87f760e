// The real screen pointer position behind ScreenCursor.
#pragma once

#include "app/screen_cursor.h"

class QtScreenCursor : public ScreenCursor {
 public:
  QPoint Position() const override;
};
