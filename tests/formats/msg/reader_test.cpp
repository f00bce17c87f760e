#include "formats/msg/reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "formats/common/limits.h"
#include "formats/msg/content.h"
#include "formats/msg/properties.h"
#include "tools/msg_fixture/msg_writer.h"

namespace formats::msg {
namespace {

using msg_fixture::FixtureAttachment;
using msg_fixture::FixtureMessage;
using msg_fixture::Node;
using msg_fixture::Properties;

// A file in memory, opened; the compound file refers to the bytes held here.
class Loaded {
 public:
  explicit Loaded(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)), file_(cfb::CompoundFile::Open(bytes_)) {}
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;

  const cfb::CompoundFile& file() const { return *file_; }
  Result<Message> Read() const {
    if (!file_) return file_.error();
    return ReadMessage(*file_);
  }

 private:
  std::vector<uint8_t> bytes_;
  Result<cfb::CompoundFile> file_;
};

std::unique_ptr<Loaded> Load(const FixtureMessage& m, int version = 3) {
  return std::make_unique<Loaded>(msg_fixture::WriteMsg(m, {.version = version}).bytes);
}

Message ReadOk(const Loaded& loaded) {
  Result<Message> m = loaded.Read();
  EXPECT_TRUE(m) << (m ? "" : m.error().detail);
  if (!m) return Message();
  return std::move(*m);
}

std::vector<uint8_t> Bytes(std::string_view s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

FixtureMessage Basic() {
  FixtureMessage m;
  m.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, "Hello");
  return m;
}

TEST(ReaderTest, RoundTripsEveryModelFieldInBothVersions) {
  FixtureMessage m;
  const uint64_t sent = msg_fixture::FileTime(2024, 2, 29, 13, 45, 10);
  m.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, "RE: Budget ✓").Long(0x3FDE, 65001).Long(0x3FFD, 1252);
  m.props.Unicode(0x1000, "Plain body\r\n").Binary(0x1013, Bytes("<p>caf\xC3\xA9</p>"));
  m.props.Binary(0x1009, std::vector<uint8_t>(5000, 0x42));
  m.props.Time(0x0039, sent).Time(0x0E06, sent + 10).Time(0x3007, 0);
  m.props.Unicode(0x1035, "<id-1@example.com>").Unicode(0x1042, "<id-0@example.com>");
  m.props.Unicode(0x1039, "<id-a@example.com> <id-0@example.com>").Unicode(0x007D, "Received: by x\r\n");
  m.props.Long(0x0017, 2).Long(0x0026, static_cast<uint32_t>(-1)).Long(0x0036, 3);
  m.named_properties.push_back({NamedProperties::kPublicStrings, "Keywords"});
  m.props.MultiUnicode(0x8000, {"Blue", "Projekt Ü"});
  // Reply to: a one-off entry, an address book entry (left out), a nameless one-off.
  std::vector<uint8_t> replies = {3, 0, 0, 0, 0, 0, 0, 0};
  for (const std::vector<uint8_t>& id : {msg_fixture::OneOffEntryId("Desk", "SMTP", "desk@example.com"),
                                         std::vector<uint8_t>(28, 0x11),
                                         msg_fixture::OneOffEntryId("", "SMTP", "two@example.com")}) {
    for (int i = 0; i < 4; ++i) replies.push_back(static_cast<uint8_t>(id.size() >> (8 * i)));
    replies.insert(replies.end(), id.begin(), id.end());
    replies.resize((replies.size() + 3) & ~size_t{3});
  }
  replies[4] = static_cast<uint8_t>(replies.size() - 8);
  m.props.Binary(0x004F, replies).Unicode(0x0050, "Desk; Book; Second");
  msg_fixture::SetSmtpSender(m.props, "Ann Lee", "ann@example.com");
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Bob", "bob@example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(2, "Cid", "cid@example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(3, "Dee", "dee@example.org"));
  m.attachments.push_back(
      msg_fixture::FileAttachment("photo.png", "image/png", std::vector<uint8_t>(70000, 7), "p1@x"));
  m.attachments.back().props.Unicode(0x3713, "http://example.com/p.png");

  for (int version : {3, 4}) {
    SCOPED_TRACE(version);
    auto loaded = Load(m, version);
    Message r = ReadOk(*loaded);
    EXPECT_EQ(r.message_class, "IPM.Note");
    EXPECT_EQ(r.subject, "RE: Budget ✓");
    EXPECT_EQ(r.internet_codepage, 65001u);
    EXPECT_EQ(r.message_codepage, 1252u);
    EXPECT_EQ(r.body, "Plain body\r\n");
    EXPECT_EQ(r.html, "<p>caf\xC3\xA9</p>");
    EXPECT_FALSE(r.html_is_utf8);
    ASSERT_TRUE(r.rtf_compressed);
    EXPECT_EQ(r.rtf_compressed->size(), 5000u);
    EXPECT_EQ(r.client_submit_time, sent);
    EXPECT_EQ(r.delivery_time, sent + 10);
    EXPECT_FALSE(r.creation_time) << "a zero time is absent";
    EXPECT_EQ(r.internet_message_id, "<id-1@example.com>");
    EXPECT_EQ(r.in_reply_to, "<id-0@example.com>");
    EXPECT_EQ(r.references, "<id-a@example.com> <id-0@example.com>");
    EXPECT_EQ(r.transport_headers, "Received: by x\r\n");
    EXPECT_EQ(r.importance, 2);
    EXPECT_EQ(r.priority, -1);
    EXPECT_EQ(r.sensitivity, 3);
    EXPECT_EQ(r.categories, (std::vector<std::string>{"Blue", "Projekt Ü"}));
    ASSERT_EQ(r.reply_to.size(), 2u);
    EXPECT_EQ(r.reply_to[0].name, "Desk");
    EXPECT_EQ(r.reply_to[0].smtp_address, "desk@example.com");
    EXPECT_EQ(r.reply_to[1].name, "Second");
    EXPECT_EQ(r.reply_to[1].smtp_address, "two@example.com");
    EXPECT_EQ(r.sender.name, "Ann Lee");
    EXPECT_EQ(r.sender.address, "ann@example.com");
    EXPECT_EQ(r.sender.address_type, "SMTP");
    EXPECT_EQ(r.sender.smtp_address, "ann@example.com");
    EXPECT_EQ(r.sent_representing.name, "Ann Lee");
    EXPECT_EQ(r.sent_representing.smtp_address, "ann@example.com");
    ASSERT_EQ(r.recipients.size(), 3u);
    EXPECT_EQ(r.recipients[1].name, "Cid");
    EXPECT_EQ(r.recipients[1].address, "cid@example.org");
    EXPECT_EQ(r.recipients[1].smtp_address, "cid@example.org");
    EXPECT_EQ(r.recipients[2].type, 3);
    ASSERT_EQ(r.attachments.size(), 1u);
    const Attachment& a = r.attachments[0];
    EXPECT_EQ(a.filename, "photo.png");
    EXPECT_EQ(a.extension, ".png");
    EXPECT_EQ(a.mime_tag, "image/png");
    EXPECT_EQ(a.content_id, "p1@x");
    EXPECT_EQ(a.content_location, "http://example.com/p.png");
    EXPECT_EQ(a.method, AttachMethod::kByValue);
    EXPECT_EQ(a.flags, 4u);
    EXPECT_TRUE(a.hidden);
    ASSERT_TRUE(a.data);
    EXPECT_EQ(a.data->size(), 70000u);
    std::vector<uint8_t> joined;
    ASSERT_TRUE(a.data->ForEachChunk([&](std::span<const uint8_t> c) {
      joined.insert(joined.end(), c.begin(), c.end());
      return true;
    }));
    EXPECT_EQ(joined, std::vector<uint8_t>(70000, 7));
    Result<std::vector<uint8_t>> too_big = a.data->ReadAll(69999);
    ASSERT_FALSE(too_big);
    EXPECT_EQ(too_big.error().code, ErrorCode::kLimitExceeded);
    EXPECT_TRUE(r.warnings.empty());
  }
}

TEST(ReaderTest, RecipientsFollowTheirStorageNumbersAndKeepTheirTypeAsStored) {
  FixtureMessage m = Basic();
  m.recipients.push_back(msg_fixture::SmtpRecipient(0x10000001, "Second", "b@example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(2, "First", "a@example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(7, "Third", "c@example.org"));
  Node root = msg_fixture::MessageTree(m, true);
  // Numbers with gaps and out of tree order, as left by deleted recipients.
  for (Node& child : root.children) {
    if (child.name == "__recip_version1.0_#00000000")
      child.name = "__recip_version1.0_#0000000A";
    else if (child.name == "__recip_version1.0_#00000001")
      child.name = "__recip_version1.0_#00000002";
    else if (child.name == "__recip_version1.0_#00000002")
      child.name = "__RECIP_VERSION1.0_#000000ff";
  }
  Loaded loaded(msg_fixture::WriteCompoundFile(root).bytes);
  Message r = ReadOk(loaded);
  ASSERT_EQ(r.recipients.size(), 3u);
  EXPECT_EQ(r.recipients[0].name, "First");
  EXPECT_EQ(r.recipients[1].name, "Second");
  EXPECT_EQ(r.recipients[1].type, 0x10000001);
  EXPECT_EQ(r.recipients[2].name, "Third");
  EXPECT_EQ(r.recipients[2].type, 7);
}

TEST(ReaderTest, AttachmentNameTakesLongThenDisplayThenShortName) {
  struct Row {
    const char* name;
    const char* long_name;
    const char* short_name;
    const char* display;
    const char* expected;
  } const rows[] = {
      {"long_wins", "Quarterly report 2024.xlsx", "QUARTE~1.XLS", "Report", "Quarterly report 2024.xlsx"},
      {"display_before_short_with_its_extension", nullptr, "QUARTE~1.XLS", "Report", "Report.XLS"},
      {"display_in_another_script_before_lossy_short", nullptr, "???.PDF", "अइउ.pdf", "अइउ.pdf"},
      {"short_when_no_display", nullptr, "QUARTE~1.XLS", nullptr, "QUARTE~1.XLS"},
      {"display_when_no_file_names", nullptr, nullptr, "Report", "Report"},
      {"empty_long_is_absent", "", "QUARTE~1.XLS", "Report", "Report.XLS"},
      {"nothing", nullptr, nullptr, nullptr, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FixtureMessage m = Basic();
    FixtureAttachment a;
    a.props.Long(0x3705, 1).Binary(0x3701, {1, 2, 3});
    if (row.long_name) a.props.Unicode(0x3707, row.long_name);
    if (row.short_name) a.props.Unicode(0x3704, row.short_name);
    if (row.display) a.props.Unicode(0x3001, row.display);
    m.attachments.push_back(a);
    auto loaded = Load(m);
    Message r = ReadOk(*loaded);
    ASSERT_EQ(r.attachments.size(), 1u);
    EXPECT_EQ(r.attachments[0].filename, row.expected);
  }
}

TEST(ReaderTest, ReadsAttachmentsByReferenceAndOleStorages) {
  FixtureMessage m = Basic();
  FixtureAttachment by_ref;
  by_ref.props.Long(0x3705, 2).Unicode(0x3707, "plan.docx").Unicode(0x3708, "\\\\server\\share\\plan.docx");
  m.attachments.push_back(by_ref);
  FixtureAttachment ole;
  ole.props.Long(0x3705, 6).Unicode(0x3001, "Picture");
  ole.embedded = std::make_shared<FixtureMessage>();  // any storage under __substg1.0_3701000D
  m.attachments.push_back(ole);
  auto loaded = Load(m);
  Message r = ReadOk(*loaded);
  ASSERT_EQ(r.attachments.size(), 2u);
  EXPECT_EQ(r.attachments[0].method, AttachMethod::kByReference);
  EXPECT_EQ(r.attachments[0].pathname, "\\\\server\\share\\plan.docx");
  EXPECT_FALSE(r.attachments[0].data);
  EXPECT_EQ(r.attachments[1].method, AttachMethod::kOle);
  EXPECT_FALSE(r.attachments[1].embedded);
  ASSERT_TRUE(r.attachments[1].object_storage);
  EXPECT_TRUE(loaded->file().entry(*r.attachments[1].object_storage).is_storage());
}

// A file packaged by the shell: its name and bytes, or nothing when a size in
// the header points beyond the stream or the declared size.
TEST(ReaderTest, PackagedFileInOle10NativeStream) {
  const std::vector<uint8_t> good = msg_fixture::PackageStream("Label.txt", "C:\\in\\Attach.txt", "DATA");
  const size_t data_at = good.size() - 4;  // the bytes end the stream
  auto with_u32 = [](std::vector<uint8_t> bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
    return bytes;
  };
  struct Row {
    const char* fault;
    std::vector<uint8_t> stream;
    std::optional<std::string> name;  // nullopt: no package
    size_t head = SIZE_MAX;           // bytes of the stream the reader has
  } rows[] = {
      {"the file name of the source path", good, "Attach.txt"},
      {"no source path: the label", msg_fixture::PackageStream("Label.txt", "", "DATA"), "Label.txt"},
      {"the UTF-16 path names the file in any script",
       msg_fixture::PackageStream("a.txt", "C:\\a.txt", "DATA", "C:\\in\\Bericht \u00fcber M\u00e4rz.txt"),
       "Bericht \u00fcber M\u00e4rz.txt"},
      {"UTF-16 copies beyond the head are not read",
       msg_fixture::PackageStream("a.txt", "C:\\a.txt", "DATA", "C:\\b.txt"), "a.txt", good.size()},
      {"declared size beyond the stream", with_u32(good, 0, static_cast<uint32_t>(good.size())), std::nullopt},
      {"data beyond the declared size", with_u32(good, 0, static_cast<uint32_t>(good.size() - 6)), std::nullopt},
      {"data length beyond the stream", with_u32(good, data_at - 4, 0xFFFFFFF0u), std::nullopt},
      {"temporary path beyond the head", with_u32(good, data_at - 4 - 17 - 4, 0x7FFFFFFF), std::nullopt},
      {"label without its NUL in the head", good, std::nullopt, 10},
      {"shorter than a size field", {1, 0}, std::nullopt},
  };
  for (const Row& r : rows) {
    const std::string bytes(r.stream.begin(), r.stream.end());
    const std::optional<PackagedFile> p = Ole10NativePackage(std::string_view(bytes).substr(0, r.head), bytes.size());
    ASSERT_EQ(p.has_value(), r.name.has_value()) << r.fault;
    if (!p) continue;
    EXPECT_EQ(p->name, *r.name) << r.fault;
    ASSERT_LE(p->offset + p->length, bytes.size()) << r.fault;
    EXPECT_EQ(bytes.substr(p->offset, p->length), "DATA") << r.fault;
  }
}

TEST(ReaderTest, EmbeddedMessageInheritsTheParentsCodepage) {
  FixtureMessage inner;
  inner.props.String8(0x001A, "IPM.Note").String8(0x0037, "\xCF\xF0\xE8\xE2\xE5\xF2");  // "Привет" in 1251
  inner.recipients.push_back(msg_fixture::SmtpRecipient(1, "Inner", "inner@example.org"));
  FixtureMessage outer = Basic();
  outer.props.Long(0x3FFD, 1251);
  FixtureAttachment a;
  a.props.Long(0x3705, 5).Unicode(0x3001, "Forwarded");
  a.embedded = std::make_shared<FixtureMessage>(inner);
  outer.attachments.push_back(a);
  auto loaded = Load(outer);
  Message r = ReadOk(*loaded);
  ASSERT_EQ(r.attachments.size(), 1u);
  ASSERT_TRUE(r.attachments[0].embedded);
  const Message& e = *r.attachments[0].embedded;
  EXPECT_EQ(e.depth, 1);
  EXPECT_EQ(e.string_codepage, 1251u);
  EXPECT_EQ(e.subject, "Привет");
  ASSERT_EQ(e.recipients.size(), 1u);
  EXPECT_EQ(e.recipients[0].smtp_address, "inner@example.org");
}

FixtureMessage Nested(int levels) {
  FixtureMessage m = Basic();
  if (levels > 0) {
    FixtureAttachment a;
    a.props.Long(0x3705, 5);
    a.embedded = std::make_shared<FixtureMessage>(Nested(levels - 1));
    m.attachments.push_back(a);
  }
  return m;
}

TEST(ReaderTest, EmbeddingDeeperThanTheLimitFailsClearly) {
  auto at_limit = Load(Nested(limits::kMaxEmbeddingDepth));
  Message r = ReadOk(*at_limit);
  int depth = 0;
  for (const Message* m = &r; !m->attachments.empty(); m = m->attachments[0].embedded.get()) ++depth;
  EXPECT_EQ(depth, limits::kMaxEmbeddingDepth);

  auto beyond = Load(Nested(limits::kMaxEmbeddingDepth + 1));
  Result<Message> failed = beyond->Read();
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().code, ErrorCode::kLimitExceeded);
}

TEST(ReaderTest, TooManyRecipientsOrAttachmentsAreRefused) {
  for (bool attachments : {false, true}) {
    SCOPED_TRACE(attachments);
    FixtureMessage m = Basic();
    const uint32_t count = (attachments ? limits::kMaxAttachments : limits::kMaxRecipients) + 1;
    if (attachments) {
      m.attachments.resize(count);
    } else {
      m.recipients.resize(count);
    }
    auto loaded = Load(m);
    Result<Message> r = loaded->Read();
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code, ErrorCode::kLimitExceeded);
  }
}

TEST(ReaderTest, Chooses8BitCodepageInTheDocumentedOrder) {
  struct Row {
    const char* name;
    std::optional<uint32_t> message_cp, internet_cp, locale;
    std::string bytes;
    std::string expected;
    uint32_t chosen;  // Message::string_codepage
  } const rows[] = {
      {"message_codepage_1252", 1252, std::nullopt, std::nullopt, "caf\xE9 \x80", "café €", 1252},
      {"message_codepage_1251", 1251, 1252, std::nullopt, "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет", 1251},
      {"internet_codepage_when_no_message_codepage", std::nullopt, 1251, 0x0409, "\xCF\xF0\xE8", "При", 1251},
      {"utf16_codepage_is_skipped", 1200, 1251, std::nullopt, "\xCF\xF0\xE8", "При", 1251},
      {"seven_bit_internet_codepage_gives_way_to_locale", std::nullopt, 50220, 0x0411, "\x93\xFA\x96\x7B", "日本", 932},
      {"locale_japanese_shift_jis", std::nullopt, std::nullopt, 0x0411, "\x93\xFA\x96\x7B", "日本", 932},
      {"utf8_message_codepage", 65001, std::nullopt, std::nullopt, "\xC3\xA9t\xC3\xA9", "été", 65001},
      {"no_hint_is_windows_latin", std::nullopt, std::nullopt, std::nullopt, "na\xEFve", "naïve", 1252},
      {"shift_jis_that_fails_falls_to_next_codepage", 932, 1251, std::nullopt, "\xCF\xF0\xE8\x81", "При\xD0\x83", 932},
      {"all_fail_but_bytes_are_utf8", 932, std::nullopt, std::nullopt, "\xC3\x9C", "Ü", 932},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FixtureMessage m;
    m.props.String8(0x0037, row.bytes);
    if (row.message_cp) m.props.Long(0x3FFD, *row.message_cp);
    if (row.internet_cp) m.props.Long(0x3FDE, *row.internet_cp);
    if (row.locale) m.props.Long(0x3FF1, *row.locale);
    auto loaded = Load(m);
    Message r = ReadOk(*loaded);
    EXPECT_EQ(r.subject, row.expected);
    EXPECT_EQ(r.string_codepage, row.chosen);
  }
}

TEST(ReaderTest, Body8BitPrefersTheInternetCodepage) {
  FixtureMessage m;
  m.props.Long(0x3FFD, 1252).Long(0x3FDE, 1251).String8(0x1000, "\xCF\xF0\xE8").String8(0x0037, "\xCF\xF0\xE8");
  auto loaded = Load(m);
  Message r = ReadOk(*loaded);
  EXPECT_EQ(r.body, "При");
  EXPECT_EQ(r.subject, "Ïðè");
}

TEST(ReaderTest, UnicodeTwinWinsOverThe8BitForm) {
  FixtureMessage m;
  m.props.String8(0x0037, "eight bit").Unicode(0x0037, "Юникод").String8(0x0C1A, "only 8-bit");
  auto loaded = Load(m);
  Message r = ReadOk(*loaded);
  EXPECT_EQ(r.subject, "Юникод");
  EXPECT_EQ(r.sender.name, "only 8-bit");
}

TEST(ReaderTest, StringStreamsOfOddShapesDecode) {
  struct Row {
    const char* name;
    uint16_t type;
    std::vector<uint8_t> stream;
    std::string expected;
  } const rows[] = {
      {"unicode_with_terminator", 0x001F, {'H', 0, 'i', 0, 0, 0}, "Hi"},
      {"unicode_odd_length_drops_last_byte", 0x001F, {'H', 0, 'i', 0, '!'}, "Hi"},
      {"unicode_garbage_after_nul", 0x001F, {'H', 0, 'i', 0, 0, 0, 'x', 0}, "Hi"},
      {"unicode_several_trailing_nuls", 0x001F, {'H', 0, 0, 0, 0, 0, 0, 0}, "H"},
      {"unicode_lone_surrogate", 0x001F, {'a', 0, 0x3D, 0xD8}, "a\xEF\xBF\xBD"},
      {"unicode_empty", 0x001F, {}, ""},
      {"string8_without_terminator", 0x001E, {'H', 'i'}, "Hi"},
      {"string8_trailing_nuls", 0x001E, {'H', 'i', 0, 0, 0}, "Hi"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FixtureMessage m;
    m.props.Raw(0x0037, row.type, row.stream);
    m.props.Raw(0x1000, row.type, row.stream, /*listed=*/false);  // a stream with no entry still counts
    auto loaded = Load(m);
    Message r = ReadOk(*loaded);
    EXPECT_EQ(r.subject, row.expected);
    EXPECT_EQ(r.body, row.expected);
  }
}

TEST(ReaderTest, HtmlKeepsBinaryBytesAndDecodesStringForms) {
  struct Row {
    const char* name;
    std::function<void(Properties&)> set;
    std::string html;
    bool utf8;
  } const rows[] = {
      {"binary_as_stored",
       [](Properties& p) {
         p.Binary(0x1013, {'<', 'b', '>', 0xE9});
       },
       "<b>\xE9", false},
      {"unicode", [](Properties& p) { p.Unicode(0x1013, "<b>é</b>"); }, "<b>é</b>", true},
      {"string8_in_internet_codepage", [](Properties& p) { p.Long(0x3FDE, 1251).String8(0x1013, "<b>\xCF</b>"); },
       "<b>П</b>", true},
      {"binary_wins_over_unicode",
       [](Properties& p) {
         p.Unicode(0x1013, "<i>u</i>").Binary(0x1013, {'<', 'b', '>'});
       },
       "<b>", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FixtureMessage m = Basic();
    row.set(m.props);
    auto loaded = Load(m);
    Message r = ReadOk(*loaded);
    EXPECT_EQ(r.html, row.html);
    EXPECT_EQ(r.html_is_utf8, row.utf8);
  }
}

TEST(ReaderTest, SmtpAddressComesFromOneOffEntryIdsOnlyWhenTheyAreSmtp) {
  struct Row {
    const char* name;
    std::function<void(Properties&)> set;
    std::string sender_smtp;
  } const rows[] = {
      {"unicode_one_off",
       [](Properties& p) { p.Binary(0x0C19, msg_fixture::OneOffEntryId("A", "SMTP", "a@example.com")); },
       "a@example.com"},
      {"eight_bit_one_off",
       [](Properties& p) { p.Binary(0x0C19, msg_fixture::OneOffEntryId("A", "smtp", "a@example.com", false)); },
       "a@example.com"},
      {"one_off_of_other_type",
       [](Properties& p) { p.Binary(0x0C19, msg_fixture::OneOffEntryId("A", "EX", "/o=Org/cn=a")); }, ""},
      {"one_off_cut_before_address",
       [](Properties& p) {
         std::vector<uint8_t> id = msg_fixture::OneOffEntryId("A", "SMTP", "a@example.com");
         id.resize(id.size() - 4);
         p.Binary(0x0C19, id);
       },
       ""},
      {"not_a_one_off", [](Properties& p) { p.Binary(0x0C19, std::vector<uint8_t>(60, 0)); }, ""},
      {"smtp_property_wins",
       [](Properties& p) {
         p.Unicode(0x5D01, "real@example.com").Binary(0x0C19, msg_fixture::OneOffEntryId("A", "SMTP", "x@example.com"));
       },
       "real@example.com"},
      {"huge_entry_id_is_skipped", [](Properties& p) { p.Binary(0x0C19, std::vector<uint8_t>(100000, 1)); }, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FixtureMessage m = Basic();
    row.set(m.props);
    Properties recipient;
    row.set(recipient);  // the same on a recipient, under its own tags
    Properties moved;
    for (const Properties::Value& v : recipient.values()) {
      const uint16_t id = v.tag >> 16;
      moved.Raw(id == 0x0C19 ? 0x0FFF : 0x39FE, v.tag & 0xFFFF, v.bytes);
    }
    m.recipients.push_back(moved);
    auto loaded = Load(m);
    Message r = ReadOk(*loaded);
    EXPECT_EQ(r.sender.smtp_address, row.sender_smtp);
    ASSERT_EQ(r.recipients.size(), 1u);
    EXPECT_EQ(r.recipients[0].smtp_address, row.sender_smtp);
  }
}

constexpr std::array<uint8_t, 16> kInternetHeaders = {0x86, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

TEST(ReaderTest, InternetContentTypeComesFromTheNamedPropertyMapOfTheRoot) {
  FixtureMessage inner = Basic();
  inner.props.Unicode(0x8001, "text/plain; charset=utf-8");
  FixtureMessage m = Basic();
  m.named_properties = {{{0x28, 0x03, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}, "Content-Type"},
                        {kInternetHeaders, "content-type"}};
  m.props.Unicode(0x8000, "wrong set").Unicode(0x8001, "application/pkcs7-mime; smime-type=enveloped-data");
  FixtureAttachment a;
  a.props.Long(0x3705, 5);
  a.embedded = std::make_shared<FixtureMessage>(inner);
  m.attachments.push_back(a);
  auto loaded = Load(m);
  Message r = ReadOk(*loaded);
  EXPECT_EQ(r.internet_content_type, "application/pkcs7-mime; smime-type=enveloped-data");
  ASSERT_EQ(r.attachments.size(), 1u);
  ASSERT_TRUE(r.attachments[0].embedded);
  EXPECT_EQ(r.attachments[0].embedded->internet_content_type, "text/plain; charset=utf-8");

  // A map entry whose name lies outside the string stream is skipped, not fatal.
  Node root = msg_fixture::MessageTree(m, true);
  for (Node& child : root.children) {
    if (child.name != "__nameid_version1.0") continue;
    for (Node& stream : child.children) {
      if (stream.name == "__substg1.0_00030102") stream.data[8] = 0xF0;  // second entry's string offset
    }
  }
  Loaded damaged(msg_fixture::WriteCompoundFile(root).bytes);
  EXPECT_EQ(ReadOk(damaged).internet_content_type, "");
}

TEST(ReaderTest, ToleratesPropertyStreamsThatAreShortOrMissing) {
  FixtureMessage m = Basic();
  m.props.Long(0x0017, 2);
  Node root = msg_fixture::MessageTree(m, true);
  for (Node& child : root.children) {
    if (child.name == "__properties_version1.0") child.data.resize(child.data.size() - 5);  // partial last entry
  }
  {
    Loaded loaded(msg_fixture::WriteCompoundFile(root).bytes);
    Message r = ReadOk(loaded);
    EXPECT_EQ(r.subject, "Hello");
    EXPECT_EQ(r.importance, 1) << "the importance entry was the partial one";
    EXPECT_FALSE(r.warnings.empty());
  }
  std::erase_if(root.children, [](const Node& n) { return n.name == "__properties_version1.0"; });
  Loaded loaded(msg_fixture::WriteCompoundFile(root).bytes);
  Message r = ReadOk(loaded);
  EXPECT_EQ(r.subject, "Hello");
  EXPECT_FALSE(r.warnings.empty());
}

TEST(ReaderTest, BrokenStreamChainInAPropertyFailsTheMessage) {
  FixtureMessage m = Basic();
  m.props.Unicode(0x1000, std::string(1500, 'x'));  // 3000 bytes: a mini stream
  msg_fixture::CompoundImage img = msg_fixture::WriteMsg(m);
  img.SetMiniFatEntry(img.entry_starts[*img.EntryId("__substg1.0_1000001F")], 0x00FFFFF0);
  Loaded loaded(img.bytes);
  Result<Message> r = loaded.Read();
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().code, ErrorCode::kBadSector);
}

// A report's and Outlook's own properties are content: one that cannot be
// read is left out with a warning, and the item still reads.
TEST(ReaderTest, ReportAndStatePropertiesNeverFailTheItem) {
  FixtureMessage m;
  m.props.Unicode(0x001A, "REPORT.IPM.Note.NDR");
  m.props.Unicode(0x6820, std::string(1500, 'm'));       // reporting MTA, its chain broken below
  m.props.Binary(0x0071, std::vector<uint8_t>(701, 1));  // a conversation index too long to carry
  m.props.Long(0x0E07, 0x8).Long(0x1090, 2).Unicode(0x8000, "Call back");
  m.named_properties = {{NamedProperties::kCommon, "", 0x8530}};
  m.recipients.push_back(Properties().Long(0x0C15, 1).Unicode(0x3001, "A").Long(0x0C05, 35).Unicode(0x0C21, "mx"));
  m.recipients.push_back(Properties().Long(0x0C15, 1).Unicode(0x3001, "B").Long(0x0C20, 522));
  msg_fixture::CompoundImage img = msg_fixture::WriteMsg(m);
  img.SetMiniFatEntry(img.entry_starts[*img.EntryId("__substg1.0_6820001F")], 0x00FFFFF0);
  Loaded loaded(img.bytes);
  Message r = ReadOk(loaded);
  const MailExtras& x = r.extras;
  EXPECT_EQ(x.reporting_mta, "");
  EXPECT_NE(std::find_if(r.warnings.begin(), r.warnings.end(),
                         [](const std::string& w) { return w.rfind("property 0x6820 left out", 0) == 0; }),
            r.warnings.end());
  EXPECT_TRUE(x.conversation_index.empty());
  EXPECT_TRUE(x.unsent);
  EXPECT_TRUE(x.flagged);
  EXPECT_EQ(x.flag_request, "Call back");
  ASSERT_EQ(x.recipients.size(), 2u);
  EXPECT_EQ(x.recipients[0].diag_code, 35u);
  EXPECT_EQ(x.recipients[0].remote_mta, "mx");
  EXPECT_EQ(x.recipients[1].status_code, 522u);
  EXPECT_FALSE(x.recipients[1].diag_code);
}

}  // namespace
}  // namespace formats::msg
