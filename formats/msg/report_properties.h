// Reads what an item holds beyond a letter (MailExtras): a report's own
// properties and Outlook's states that have Internet forms.
#pragma once

#include <span>

#include "formats/msg/message.h"
#include "formats/msg/properties.h"

namespace formats::msg {

// Fills m.extras from the item's bag and, for a report (REPORT.*), from the
// recipient storages, given in the order of m.recipients. Never fails: a
// property that cannot be read stays empty and adds one line to m.warnings.
void ReadMailExtras(const PropertyBag& bag, const NamedProperties& named, std::span<const uint32_t> codepages,
                    std::span<const cfb::EntryId> recipient_storages, Message& m);

}  // namespace formats::msg
