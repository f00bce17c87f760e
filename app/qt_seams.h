// The real message loop, random draw and screen pointer behind the window's seams.
#pragma once

#include "app/screen_cursor.h"
#include "app/seams/dialogs.h"

class QtEventPump : public seams::EventPump {
 public:
  void Yield() override;
};

class QtRandomSource : public seams::RandomSource {
 public:
  int Draw1To100() override;
};

class QtScreenCursor : public ScreenCursor {
 public:
  QPoint Position() const override;
};
