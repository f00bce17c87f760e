// The real message loop and random draw behind the seams of platform/dialogs.h,
// for the Qt face.
#pragma once

#include "platform/dialogs.h"

namespace platform {

class QtEventPump : public EventPump {
 public:
  void Yield() override;
};

class QtRandomSource : public RandomSource {
 public:
  int Draw1To100() override;
};

}  // namespace platform
