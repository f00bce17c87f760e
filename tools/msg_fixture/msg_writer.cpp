#include "tools/msg_fixture/msg_writer.h"

#include <algorithm>
#include <cstdio>

namespace msg_fixture {

namespace {

std::string SubstgName(uint32_t tag) {
  char name[32];
  std::snprintf(name, sizeof name, "__substg1.0_%08X", tag);
  return name;
}

std::string NumberedName(const char* prefix, size_t n) {
  char name[48];
  std::snprintf(name, sizeof name, "%s%08zX", prefix, n);
  return name;
}

void Append32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xFF);
}
void Append64(std::vector<uint8_t>& b, uint64_t v) {
  for (int i = 0; i < 8; ++i) b.push_back((v >> (8 * i)) & 0xFF);
}

// The property stream and the value streams of one object.
void AddProperties(const Properties& props, std::vector<uint8_t> header, std::vector<Node>& children) {
  std::vector<uint8_t>& s = header;
  for (const Properties::Value& v : props.values()) {
    if (v.listed) {
      Append32(s, v.tag);
      Append32(s, 0x6);  // readable | writable
      if (v.variable) {
        const uint16_t type = v.tag & 0xFFFF;
        const uint32_t size = type == kPtObject    ? 0xFFFFFFFF
                              : type == kPtUnicode ? static_cast<uint32_t>(v.bytes.size() + 2)
                                                   : static_cast<uint32_t>(v.bytes.size());
        Append32(s, size);
        Append32(s, 0);
      } else {
        Append64(s, v.fixed);
      }
    }
    if (v.variable && (v.tag & 0xFFFF) != kPtObject) children.push_back(Node::Stream(SubstgName(v.tag), v.bytes));
    for (size_t i = 0; i < v.elements.size(); ++i) {
      char suffix[24];
      std::snprintf(suffix, sizeof suffix, "-%08zX", i);
      children.push_back(Node::Stream(SubstgName(v.tag) + suffix, v.elements[i]));
    }
  }
  children.push_back(Node::Stream("__properties_version1.0", std::move(s)));
}

}  // namespace

Properties& Properties::Fixed(uint16_t id, uint16_t type, uint64_t raw) {
  values_.push_back({(static_cast<uint32_t>(id) << 16) | type, raw, false, true, {}, {}});
  return *this;
}

Properties& Properties::Unicode(uint16_t id, std::string_view utf8) {
  return Raw(id, kPtUnicode, Utf16Le(utf8));
}

Properties& Properties::String8(uint16_t id, std::string_view bytes) {
  std::vector<uint8_t> b(bytes.begin(), bytes.end());
  b.push_back(0);
  return Raw(id, kPtString8, std::move(b));
}

Properties& Properties::Binary(uint16_t id, std::vector<uint8_t> bytes) {
  return Raw(id, kPtBinary, std::move(bytes));
}

Properties& Properties::MultiUnicode(uint16_t id, const std::vector<std::string>& values) {
  std::vector<uint8_t> lengths;
  std::vector<std::vector<uint8_t>> elements;
  for (const std::string& v : values) {
    elements.push_back(Utf16Le(v));
    elements.back().insert(elements.back().end(), {0, 0});
    Append32(lengths, static_cast<uint32_t>(elements.back().size()));
  }
  Raw(id, kPtMvUnicode, std::move(lengths));
  values_.back().elements = std::move(elements);
  return *this;
}

Properties& Properties::Raw(uint16_t id, uint16_t type, std::vector<uint8_t> bytes, bool listed) {
  values_.push_back({(static_cast<uint32_t>(id) << 16) | type, 0, true, listed, std::move(bytes), {}});
  return *this;
}

Node MessageTree(const FixtureMessage& message, bool top_level, const std::string& name) {
  std::vector<Node> children;
  std::vector<uint8_t> header(8, 0);
  const uint32_t recips = static_cast<uint32_t>(message.recipients.size());
  const uint32_t atts = static_cast<uint32_t>(message.attachments.size());
  Append32(header, recips);  // next recipient id
  Append32(header, atts);    // next attachment id
  Append32(header, recips);
  Append32(header, atts);
  if (top_level) {
    header.resize(32, 0);
    // GUID stream: one GUID per named property (index 3 + k); entry stream:
    // string offset (a numeric name: the number, kind 0), then kind 1 | GUID
    // index << 1 | property index << 16;
    // string stream: length, UTF-16LE name, padded to 4 bytes.
    std::vector<uint8_t> guids, entries, strings;
    for (size_t k = 0; k < message.named_properties.size(); ++k) {
      const NamedProperty& p = message.named_properties[k];
      guids.insert(guids.end(), p.guid.begin(), p.guid.end());
      if (p.name.empty()) {
        Append32(entries, p.lid);
        Append32(entries, static_cast<uint32_t>((3 + k) << 1) | static_cast<uint32_t>(k << 16));
        continue;
      }
      Append32(entries, static_cast<uint32_t>(strings.size()));
      Append32(entries, 1u | static_cast<uint32_t>((3 + k) << 1) | static_cast<uint32_t>(k << 16));
      std::vector<uint8_t> name = Utf16Le(p.name);
      Append32(strings, static_cast<uint32_t>(name.size()));
      strings.insert(strings.end(), name.begin(), name.end());
      strings.resize((strings.size() + 3) & ~size_t{3}, 0);
    }
    children.push_back(Node::Storage("__nameid_version1.0", {Node::Stream("__substg1.0_00020102", guids),
                                                             Node::Stream("__substg1.0_00030102", entries),
                                                             Node::Stream("__substg1.0_00040102", strings)}));
  }
  AddProperties(message.props, header, children);
  for (size_t i = 0; i < message.recipients.size(); ++i) {
    std::vector<Node> r;
    AddProperties(message.recipients[i], std::vector<uint8_t>(8, 0), r);
    children.push_back(Node::Storage(NumberedName("__recip_version1.0_#", i), std::move(r)));
  }
  for (size_t i = 0; i < message.attachments.size(); ++i) {
    const FixtureAttachment& a = message.attachments[i];
    std::vector<Node> c;
    Properties props = a.props;
    if (a.embedded) {
      props.Raw(0x3701, kPtObject, {});
      c.push_back(MessageTree(*a.embedded, false, "__substg1.0_3701000D"));
    } else if (!a.object.empty()) {
      props.Raw(0x3701, kPtObject, {});
      c.push_back(Node::Storage("__substg1.0_3701000D", a.object));
    }
    AddProperties(props, std::vector<uint8_t>(8, 0), c);
    children.push_back(Node::Storage(NumberedName("__attach_version1.0_#", i), std::move(c)));
  }
  return Node::Storage(name, std::move(children));
}

std::vector<uint8_t> PackageStream(std::string_view label, std::string_view path, std::string_view data,
                                   std::string_view wide_path) {
  std::vector<uint8_t> body = {2, 0};
  auto u32 = [&body](size_t v) {
    for (int i = 0; i < 4; ++i) body.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  for (std::string_view text : {label, path}) {
    body.insert(body.end(), text.begin(), text.end());
    body.push_back(0);
  }
  body.insert(body.end(), {0, 0, 3, 0});
  u32(path.size() + 1);
  body.insert(body.end(), path.begin(), path.end());
  body.push_back(0);
  u32(data.size());
  body.insert(body.end(), data.begin(), data.end());
  if (!wide_path.empty()) {
    for (std::string_view text : {path, label, wide_path}) {
      const std::vector<uint8_t> wide = Utf16Le(text);
      u32(wide.size() / 2);
      body.insert(body.end(), wide.begin(), wide.end());
    }
  }
  std::vector<uint8_t> out;
  const size_t size = body.size();
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(size >> (8 * i)));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

CompoundImage WriteMsg(const FixtureMessage& message, const CfbOptions& options) {
  return WriteCompoundFile(MessageTree(message, true), options);
}

std::vector<uint8_t> OneOffEntryId(std::string_view name,
                                   std::string_view type,
                                   std::string_view address,
                                   bool unicode) {
  std::vector<uint8_t> b = {0,    0,    0,    0,    0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10,
                            0x19, 0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02, 0,    0};
  const uint16_t flags = unicode ? 0x8001 : 0x0001;  // strings in UTF-16 | no rich info
  b.push_back(flags & 0xFF);
  b.push_back(flags >> 8);
  for (std::string_view s : {name, type, address}) {
    if (unicode) {
      std::vector<uint8_t> u = Utf16Le(s);
      b.insert(b.end(), u.begin(), u.end());
      b.push_back(0);
      b.push_back(0);
    } else {
      b.insert(b.end(), s.begin(), s.end());
      b.push_back(0);
    }
  }
  return b;
}

std::vector<uint8_t> ExchangeEntryId(std::string_view dn) {
  std::vector<uint8_t> b = {0,    0,    0,    0,    0xDC, 0xA7, 0x40, 0xC8, 0xC0, 0x42, 0x10, 0x1A,
                            0xB4, 0xB9, 0x08, 0x00, 0x2B, 0x2F, 0xE1, 0x82, 1,    0,    0,    0,
                            0,    0,    0,    0};  // flags, provider, version 1, type 0 (a mail user)
  b.insert(b.end(), dn.begin(), dn.end());
  b.push_back(0);
  return b;
}

void SetSmtpSender(Properties& m, std::string_view name, std::string_view address) {
  m.Unicode(0x0C1A, name).Unicode(0x0C1F, address).Unicode(0x0C1E, "SMTP").Unicode(0x5D01, address);
  m.Binary(0x0C19, OneOffEntryId(name, "SMTP", address));
  m.Unicode(0x0042, name).Unicode(0x0065, address).Unicode(0x0064, "SMTP").Unicode(0x5D02, address);
  m.Binary(0x0041, OneOffEntryId(name, "SMTP", address));
}

Properties SmtpRecipient(int32_t type, std::string_view name, std::string_view address) {
  Properties r;
  r.Long(0x0C15, static_cast<uint32_t>(type)).Unicode(0x3001, name).Unicode(0x3003, address);
  r.Unicode(0x3002, "SMTP").Unicode(0x39FE, address).Binary(0x0FFF, OneOffEntryId(name, "SMTP", address));
  return r;
}

FixtureAttachment FileAttachment(std::string_view filename,
                                 std::string_view mime_type,
                                 std::vector<uint8_t> data,
                                 std::string_view content_id) {
  FixtureAttachment a;
  std::string_view ext = filename.substr(std::min(filename.size(), filename.rfind('.')));
  a.props.Long(0x3705, 1).Unicode(0x3707, filename).Unicode(0x3704, filename).Unicode(0x3001, filename);
  a.props.Unicode(0x3703, ext).Unicode(0x370E, mime_type).Long(0x0E20, static_cast<uint32_t>(data.size()));
  if (!content_id.empty()) {
    a.props.Unicode(0x3712, content_id).Long(0x3714, 0x4).Bool(0x7FFE, true);  // attRenderedInBody
  }
  a.props.Binary(0x3701, std::move(data));
  return a;
}

std::vector<uint8_t> StoredRtf(std::string_view rtf) {
  const auto raw = static_cast<uint32_t>(rtf.size());
  const uint32_t compressed = raw + 12;  // the size counts from after its own field
  std::vector<uint8_t> out;
  for (uint32_t v : {compressed, raw, 0x414C454Du /* "MELA" */, 0u}) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
  }
  out.insert(out.end(), rtf.begin(), rtf.end());
  return out;
}

uint64_t FileTime(int year, int month, int day, int hour, int minute, int second) {
  // Days from civil (proleptic Gregorian), then the 1601 epoch.
  const int y = year - (month <= 2);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t days = static_cast<int64_t>(era) * 146097 + doe - 719468;
  const int64_t unix_seconds = days * 86400 + hour * 3600 + minute * 60 + second;
  return static_cast<uint64_t>(unix_seconds + 11644473600LL) * 10000000ULL;
}

uint32_t Minutes1601(int year, int month, int day, int hour, int minute) {
  return static_cast<uint32_t>(FileTime(year, month, day, hour, minute, 0) / 600000000ULL);
}

namespace {

void Append16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(v & 0xFF);
  b.push_back(v >> 8);
}

void AppendTransition(std::vector<uint8_t>& b, const FixtureTransition& t) {
  for (uint16_t v : {t.year, t.month, t.day_of_week, t.week, t.hour, t.minute, uint16_t{0}, uint16_t{0}}) {
    Append16(b, v);
  }
}

}  // namespace

std::vector<uint8_t> TimeZoneDefinition(std::string_view key_name, const std::vector<FixtureZoneRule>& rules) {
  std::vector<uint8_t> key = Utf16Le(key_name);
  std::vector<uint8_t> b = {2, 1};
  Append16(b, static_cast<uint16_t>(6 + key.size()));
  Append16(b, 2);
  Append16(b, static_cast<uint16_t>(key.size() / 2));
  b.insert(b.end(), key.begin(), key.end());
  Append16(b, static_cast<uint16_t>(rules.size()));
  for (size_t i = 0; i < rules.size(); ++i) {
    const FixtureZoneRule& r = rules[i];
    b.insert(b.end(), {2, 1});
    Append16(b, 0x3E);
    Append16(b, i + 1 == rules.size() ? 0x0002 : 0);  // the last rule is the one in force
    Append16(b, r.year);
    b.insert(b.end(), 14, 0);
    Append32(b, static_cast<uint32_t>(r.bias));
    Append32(b, static_cast<uint32_t>(r.standard_bias));
    Append32(b, static_cast<uint32_t>(r.daylight_bias));
    AppendTransition(b, r.standard);
    AppendTransition(b, r.daylight);
  }
  return b;
}

std::vector<uint8_t> RecurrenceBlob(const FixtureRecurrence& r) {
  std::vector<uint8_t> b;
  Append16(b, 0x3004);
  Append16(b, 0x3004);
  Append16(b, r.frequency);
  Append16(b, r.pattern);
  Append16(b, 0);  // Gregorian
  Append32(b, 0);  // FirstDateTime: not read
  Append32(b, r.period);
  Append32(b, 0);
  for (uint32_t v : r.pattern_specific) Append32(b, v);
  Append32(b, r.end_type);
  Append32(b, r.occurrence_count);
  Append32(b, r.first_day_of_week);
  for (const std::vector<uint32_t>* list : {&r.deleted, &r.modified}) {
    Append32(b, static_cast<uint32_t>(list->size()));
    for (uint32_t v : *list) Append32(b, v);
  }
  Append32(b, r.start_date);
  Append32(b, r.end_date);
  Append32(b, 0x3006);
  Append32(b, 0x3009);
  Append32(b, r.start_offset);
  Append32(b, r.end_offset);
  Append16(b, static_cast<uint16_t>(r.exceptions.size()));
  auto flags = [](const FixtureRecurrence::Exception& e) {
    return static_cast<uint16_t>((e.subject.empty() ? 0 : 0x0001) | (e.location.empty() ? 0 : 0x0010));
  };
  for (const auto& e : r.exceptions) {
    Append32(b, e.start);
    Append32(b, e.end);
    Append32(b, e.original);
    Append16(b, flags(e));
    for (const std::string* text : {&e.subject, &e.location}) {
      if (text->empty()) continue;
      Append16(b, static_cast<uint16_t>(text->size() + 1));
      Append16(b, static_cast<uint16_t>(text->size()));
      b.insert(b.end(), text->begin(), text->end());
    }
  }
  Append32(b, 0);  // ReservedBlock1Size
  for (const auto& e : r.exceptions) {
    Append32(b, 4);  // ChangeHighlight: size, value
    Append32(b, 0);
    Append32(b, 0);  // ReservedBlockEE1Size
    if (flags(e) == 0) continue;
    Append32(b, e.start);
    Append32(b, e.end);
    Append32(b, e.original);
    for (const std::string* text : {&e.subject, &e.location}) {
      if (text->empty()) continue;
      std::vector<uint8_t> wide = Utf16Le(*text);
      Append16(b, static_cast<uint16_t>(wide.size() / 2));
      b.insert(b.end(), wide.begin(), wide.end());
    }
    Append32(b, 0);  // ReservedBlockEE2Size
  }
  Append32(b, 0);  // ReservedBlock2Size
  return b;
}

}  // namespace msg_fixture
