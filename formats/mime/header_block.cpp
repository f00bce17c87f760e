#include "formats/mime/header_block.h"

#include <utility>

#include "formats/common/ascii.h"

namespace formats::mime {

namespace {

bool IsContinuation(std::string_view line) { return !line.empty() && (line.front() == ' ' || line.front() == '\t'); }

// Length of the field name that opens line, 0 when the line is not a field.
size_t FieldNameLength(std::string_view line) {
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return 0;
  for (char c : line.substr(0, colon)) {
    if (c <= 0x20 || c >= 0x7F) return 0;
  }
  return colon;
}

}  // namespace

std::optional<std::string_view> HeaderBlockReader::NextLine() {
  if (pending_) return std::exchange(pending_, std::nullopt);
  if (ended_ || pos_ >= block_.size()) return std::nullopt;
  size_t end = block_.find('\n', pos_);
  if (end == std::string_view::npos) end = block_.size();
  std::string_view line = block_.substr(pos_, end - pos_);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos_ = end + 1;
  if (line.empty()) {
    ended_ = true;  // the blank line that ends the block
    return std::nullopt;
  }
  return line;
}

std::optional<HeaderField> HeaderBlockReader::Next() {
  while (std::optional<std::string_view> line = NextLine()) {
    if (IsContinuation(*line)) continue;  // belongs to a line that was skipped
    const size_t name_length = FieldNameLength(*line);
    if (name_length == 0) continue;
    // The value runs to the end of the last continuation line; the lines are views
    // into block_, so it is one contiguous view.
    const char* value_begin = line->data() + name_length + 1;
    const char* value_end = line->data() + line->size();
    while (std::optional<std::string_view> next = NextLine()) {
      if (!IsContinuation(*next)) {
        pending_ = next;
        break;
      }
      value_end = next->data() + next->size();
    }
    return HeaderField{line->substr(0, name_length),
                       std::string_view(value_begin, static_cast<size_t>(value_end - value_begin))};
  }
  return std::nullopt;
}

std::vector<std::string_view> RawValueLines(std::string_view raw_value) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (true) {
    const size_t lf = raw_value.find('\n', start);
    std::string_view line = raw_value.substr(start, lf == std::string_view::npos ? std::string_view::npos : lf - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (lf == std::string_view::npos) return lines;
    start = lf + 1;
  }
}

std::string Unfold(std::string_view raw_value) {
  std::string out;
  out.reserve(raw_value.size());
  for (std::string_view line : RawValueLines(raw_value)) out += line;
  return out;
}

std::vector<Mailbox> HeaderMailboxes(std::string_view headers, std::string_view field) {
  std::vector<Mailbox> out;
  std::string value;
  HeaderBlockReader reader(headers);
  while (std::optional<HeaderField> f = reader.Next()) {
    if (EqualsIgnoreCase(f->name, field)) {
      value = Unfold(f->raw_value);
      break;
    }
  }
  // Split at commas outside quotes and angle brackets.
  std::vector<std::string> items(1);
  bool quoted = false;
  int angle = 0;
  for (char c : value) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '<') ++angle;
    if (!quoted && c == '>' && angle > 0) --angle;
    if (c == ',' && !quoted && angle == 0) {
      items.emplace_back();
    } else {
      items.back() += c;
    }
  }
  auto trim = [](std::string s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '"')) s.erase(0, 1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '"')) s.pop_back();
    return s;
  };
  for (const std::string& item : items) {
    Mailbox m;
    const size_t open = item.rfind('<');
    const size_t close = item.rfind('>');
    if (open != std::string::npos && close != std::string::npos && close > open) {
      m.address = trim(item.substr(open + 1, close - open - 1));
      m.display_name = trim(item.substr(0, open));
    } else {
      m.address = trim(item);
    }
    if (IsMailAddress(m.address)) out.push_back(std::move(m));
  }
  return out;
}

}  // namespace formats::mime
