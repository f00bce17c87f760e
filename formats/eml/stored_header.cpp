// A received item keeps the fields of its stored Internet header block
// (PidTagTransportMessageHeaders): the trace (Received, Return-Path,
// Authentication-Results), the mail program's and the servers' own fields, in
// their order and with their text. The composer's own fields stand where the
// block had a field of the same name.
#include <algorithm>
#include <span>

#include "formats/common/ascii.h"
#include "formats/common/limits.h"
#include "formats/eml/compose_p.h"
#include "formats/mime/carried_field.h"
#include "formats/mime/header_block.h"
#include "formats/msg/filetime.h"

namespace formats::eml {

namespace {

// Fields that describe the MIME structure of the stored message: the writer
// makes its own for the new tree. Content-MD5 and Content-Length would state
// something false of the new body, so they go too.
constexpr std::string_view kStructureFields[] = {"content-type", "content-transfer-encoding", "content-disposition",
                                                 "content-id",   "content-md5",               "content-length"};

// Fields the composer always builds from the item's properties: where the block
// has one and the composer none, the block's is left out (the properties win, as
// the user saw them in the mail program).
constexpr std::string_view kOwnFields[] = {"date", "from",    "sender",     "to",          "cc",
                                           "bcc",  "subject", "message-id", "mime-version"};

bool IsOneOf(std::string_view lower_name, std::span<const std::string_view> names) {
  return std::find(names.begin(), names.end(), lower_name) != names.end();
}

// The block up to the limit, cut before the field the limit would split.
std::string_view Bounded(std::string_view block) {
  if (block.size() <= limits::kMaxStoredHeaderBytes) return block;
  size_t cut = block.rfind('\n', limits::kMaxStoredHeaderBytes - 1);
  while (cut != std::string_view::npos && (block[cut + 1] == ' ' || block[cut + 1] == '\t')) {
    cut = cut == 0 ? std::string_view::npos : block.rfind('\n', cut - 1);
  }
  return cut == std::string_view::npos ? std::string_view() : block.substr(0, cut + 1);
}

}  // namespace

std::vector<std::string> MergeStoredHeader(std::string_view block, std::vector<OwnField> own,
                                           const std::set<std::string>& skip) {
  struct Stored {
    std::string name;  // lower case
    mime::HeaderField field;
  };
  std::vector<Stored> stored;
  mime::HeaderBlockReader reader(Bounded(block));
  while (std::optional<mime::HeaderField> f = reader.Next()) stored.push_back({AsciiLower(f->name), *f});

  std::vector<bool> written(own.size(), false);
  for (size_t i = 0; i < own.size(); ++i) {
    written[i] = own[i].stored_wins && std::any_of(stored.begin(), stored.end(),
                                                   [&](const Stored& s) { return s.name == own[i].name; });
  }
  std::vector<std::string> fields;
  for (const Stored& s : stored) {
    if (IsOneOf(s.name, kStructureFields) || skip.count(s.name) > 0) continue;
    if (IsOneOf(s.name, kOwnFields)) {
      for (size_t i = 0; i < own.size(); ++i) {
        if (!written[i] && own[i].name == s.name) {
          fields.push_back(std::move(own[i].text));
          written[i] = true;
          break;
        }
      }
      continue;
    }
    // A field that cannot be written with its own text is left out, not altered.
    if (std::optional<std::string> carried = mime::FoldCarriedField(s.field.name, s.field.raw_value)) {
      fields.push_back(std::move(*carried));
    }
  }
  for (size_t i = 0; i < own.size(); ++i) {
    if (!written[i]) fields.push_back(std::move(own[i].text));
  }
  return fields;
}

std::optional<mime::HeaderField> FirstStoredField(std::string_view block, std::string_view name) {
  mime::HeaderBlockReader reader(Bounded(block));
  while (std::optional<mime::HeaderField> f = reader.Next()) {
    if (EqualsIgnoreCase(f->name, name)) return f;
  }
  return std::nullopt;
}

std::optional<std::string> StoredDate(std::string_view block, std::optional<uint64_t> submit_time) {
  if (!submit_time) return std::nullopt;
  const std::optional<mime::HeaderField> date = FirstStoredField(block, "Date");
  if (!date) return std::nullopt;
  const std::optional<int64_t> instant = mime::ParseDate(mime::Unfold(date->raw_value));
  if (!instant || instant != msg::FileTimeToUnixSeconds(*submit_time)) return std::nullopt;
  return mime::FoldCarriedField("Date", date->raw_value);
}

}  // namespace formats::eml
