// The whole conversion of an in-memory .msg: read the item, compose its MIME
// tree, write it. The tool, the tests and the fuzzers share it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "formats/common/result.h"
#include "formats/eml/compose.h"
#include "formats/mime/entity.h"
#include "formats/mime/sink.h"

namespace formats::eml {

// Reads and composes msg_bytes, then hands the tree to write; the tree lives only
// for that call, since it refers to the compound file and the item. Errors: those
// of reading and composing, else write's.
Status WithComposedMessage(std::span<const uint8_t> msg_bytes, const ComposeOptions& compose_options,
                           const std::function<Status(const mime::Message&)>& write);

// Reads an in-memory .msg and writes its .eml to sink: the whole conversion
// without files. Errors as WithComposedMessage, plus the sink's.
Status ConvertBytes(std::span<const uint8_t> msg_bytes, mime::Sink& sink, const ComposeOptions& compose_options = {},
                    const mime::WriteOptions& write_options = {});

}  // namespace formats::eml
