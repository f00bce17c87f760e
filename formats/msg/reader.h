// Reads the Outlook item of a compound file into the model of message.h.
#pragma once

#include "formats/cfb/compound_file.h"
#include "formats/common/result.h"
#include "formats/msg/message.h"

namespace formats::msg {

// The item stored at the root of `file`, with its recipients, attachments and
// embedded messages (to limits::kMaxEmbeddingDepth levels). StreamRefs in the
// result point at `file`, which must outlive them and stay where it is (do not
// move the CompoundFile after reading).
// Errors: the compound file errors of broken property streams; kLimitExceeded for
// too many recipients or attachments, nesting too deep, or a string beyond
// limits::kMaxStringPropertyBytes.
Result<Message> ReadMessage(const cfb::CompoundFile& file);

// The item embedded in `storage` (an attachment's __substg1.0_3701000D storage),
// `depth` levels below the top; 8-bit strings fall back to `parent_codepage`.
Result<Message> ReadEmbeddedMessage(const cfb::CompoundFile& file,
                                    cfb::EntryId storage,
                                    int depth,
                                    uint32_t parent_codepage);

}  // namespace formats::msg
