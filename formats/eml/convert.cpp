#include "formats/eml/convert.h"

#include <memory>
#include <utility>

#include "formats/msg/content.h"

namespace formats::eml {

Status WithComposedMessage(std::span<const uint8_t> msg_bytes, const ComposeOptions& compose_options,
                           const std::function<Status(const mime::Message&)>& write) {
  Result<std::unique_ptr<msg::MessageFile>> file = msg::MessageFile::Open(msg_bytes);
  if (!file) return std::move(file).error();
  Result<mime::Message> tree = ComposeMessage((*file)->message(), (*file)->content(), compose_options);
  if (!tree) return std::move(tree).error();
  return write(*tree);
}

Status ConvertBytes(std::span<const uint8_t> msg_bytes, mime::Sink& sink, const ComposeOptions& compose_options,
                    const mime::WriteOptions& write_options) {
  return WithComposedMessage(msg_bytes, compose_options,
                             [&](const mime::Message& tree) { return mime::WriteMessage(tree, sink, write_options); });
}

}  // namespace formats::eml
