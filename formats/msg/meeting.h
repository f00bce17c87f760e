// Reads the appointment of a meeting item into Message::meeting.
#pragma once

#include <span>

#include "formats/common/result.h"
#include "formats/msg/message.h"
#include "formats/msg/properties.h"

namespace formats::msg {

// Fills m.meeting when m.message_class is a meeting or appointment class; leaves
// it absent for other items. A recurrence pattern or time-zone definition that
// does not parse leaves it absent too, with one line in m.warnings. Errors: a
// broken stream chain, kLimitExceeded for a string beyond
// limits::kMaxStringPropertyBytes.
Status ReadMeeting(const PropertyBag& bag, const NamedProperties& named, std::span<const uint32_t> codepages,
                   Message& m);

}  // namespace formats::msg
