#include "formats/mime/header.h"

#include <gtest/gtest.h>

#include "formats/common/codepage.h"
#include "formats/mime/carried_field.h"
#include "formats/msg/filetime.h"
#include "tests/formats/mime/mime_test_util.h"

namespace formats::mime {
namespace {

// Decodes one encoded word; empty optional when it is not one.
std::optional<std::string> DecodeWord(std::string_view word) {
  if (word.size() < 12 || word.substr(0, 8) != "=?utf-8?" || word.substr(word.size() - 2) != "?=") return std::nullopt;
  const char kind = word[8];
  std::string_view text = word.substr(10, word.size() - 12);
  std::string out;
  if (kind == 'B') {
    if (text.size() % 4 != 0 || !mime_test::DecodeBase64(text, out)) return std::nullopt;
    return out;
  }
  if (kind != 'Q') return std::nullopt;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_') {
      out += ' ';
    } else if (text[i] == '=' && i + 2 < text.size()) {
      out += static_cast<char>(mime_test::HexValue(text[i + 1]) * 16 + mime_test::HexValue(text[i + 2]));
      i += 2;
    } else if (text[i] == '?' || text[i] == ' ' || text[i] == '=') {
      return std::nullopt;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Unfolds a field and splits its lines, checking every line ends in CR LF.
std::vector<std::string> Lines(const std::string& field) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < field.size()) {
    const size_t end = field.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << field;
    if (end == std::string::npos) break;
    lines.push_back(field.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string Unfold(const std::string& field) {
  std::string out;
  for (const std::string& line : Lines(field)) out += line;
  return out;
}

// Decodes an unstructured value made only of encoded words separated by spaces.
std::string DecodeWords(std::string_view value) {
  std::string out;
  size_t start = 0;
  while (start < value.size()) {
    size_t end = value.find(' ', start);
    if (end == std::string_view::npos) end = value.size();
    auto w = DecodeWord(value.substr(start, end - start));
    EXPECT_TRUE(w.has_value()) << value.substr(start, end - start);
    if (w) out += *w;
    start = end + 1;
  }
  return out;
}

// Some readers join adjacent B words before decoding, so every word but the last
// must carry whole 3-byte groups (no padding) for the joined text to decode.
TEST(EncodeWordsTest, WordsAreShortHoldWholeCharactersAndDecodeBack) {
  const std::string texts[] = {
      "Microsoft Outlook テスト メッセージ",
      "Привет · Γειά σου · 你好 · مرحبا and some more text to need a second word",
      // No 3-byte boundary within a word's reach: Q words instead.
      "ab" + [] { std::string s; for (int i = 0; i < 30; ++i) s += "éx"; return s; }(),
      "Grüße aus Köln",
      "Ünïcödé subject that is rather long and needs to be split over multiple encoded words ✓",
      "日本語のメールの件名がとても長い場合には複数のエンコードされた単語に分割する必要があります",
      "emoji 😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀 end",
      "a=b?c_d \"quoted\" é",
      "\xff\xfe broken utf-8 \xc3",
  };
  // Texts with blanks whose words each fit an encoded word: every encoded word
  // but the last ends at a blank, so no word of the text is cut.
  const std::string cut_at_blanks[] = {
      "Свиридов Дмитрий Владимирович",
      "Microsoft Outlook テスト メッセージ",
      "Ünïcödé subject that is rather long and needs to be split over multiple encoded words ✓",
  };
  for (WordContext context : {WordContext::kText, WordContext::kPhrase}) {
    for (const std::string& text : texts) {
      std::string joined, b_payloads, b_text;
      for (const std::string& word : EncodeWords(text, context)) {
        EXPECT_LE(word.size(), 75u) << word;
        auto decoded = DecodeWord(word);
        ASSERT_TRUE(decoded.has_value()) << word;
        if (IsValidUtf8(text)) {
          EXPECT_TRUE(IsValidUtf8(*decoded)) << "split character in " << word;
        }
        if (word[8] == 'B') {
          b_payloads += word.substr(10, word.size() - 12);
          b_text += *decoded;
        }
        joined += *decoded;
      }
      EXPECT_EQ(joined, text);
      std::string decoded;
      if (!b_payloads.empty() && mime_test::DecodeBase64(b_payloads, decoded)) {
        EXPECT_EQ(decoded, b_text) << "joined B words do not decode: " << b_payloads;
      }
    }
    for (const std::string& text : cut_at_blanks) {
      const std::vector<std::string> words = EncodeWords(text, context);
      ASSERT_GT(words.size(), 1u) << text;
      for (size_t i = 0; i + 1 < words.size(); ++i) {
        EXPECT_EQ(DecodeWord(words[i]).value_or("").back(), ' ') << "a word is cut: " << words[i];
      }
    }
  }
}

TEST(EncodeWordsTest, PhraseWordsKeepOnlyPhraseSafeCharacters) {
  for (const std::string& word : EncodeWords("Doe, Jane (Sales) \"x\" é", WordContext::kPhrase)) {
    const std::string_view text = std::string_view(word).substr(10, word.size() - 12);
    for (char c : text) {
      EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || std::string_view("!*+-/=_").find(c) != std::string_view::npos)
          << word;
    }
  }
}

TEST(FoldUnstructuredTest, Cases) {
  struct Row {
    const char* fault;
    std::string text;
    std::string expected;  // empty: only the checks below
  } rows[] = {
      {"plain ASCII is not encoded", "Hello world", "Subject: Hello world\r\n"},
      {"empty subject keeps the field", "", "Subject: \r\n"},
      {"line breaks in the text become spaces", "a\r\nb", "Subject: a  b\r\n"},
      {"non-ASCII is encoded (B is shorter here)", "Grüße", "Subject: =?utf-8?B?R3LDvMOfZQ==?=\r\n"},
      {"something that looks like an encoded word is encoded",
       "=?x?", "Subject: =?utf-8?B?PT94Pw==?=\r\n"},
      {"long ASCII folds at spaces",
       "one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen",
       "Subject: one two three four five six seven eight nine ten eleven twelve\r\n"
       " thirteen fourteen fifteen\r\n"},
      {"double spaces survive folding", std::string(60, 'x') + "  " + std::string(10, 'y'), ""},
      {"a word longer than a line is encoded rather than overflowing 998", std::string(1200, 'z'), ""},
      {"long non-ASCII", std::string(300, 'a') + "é" + std::string(300, 'b'), ""},
  };
  for (const Row& r : rows) {
    const std::string field = FoldUnstructured("Subject", r.text);
    if (!r.expected.empty()) {
      EXPECT_EQ(field, r.expected) << r.fault;
    }
    for (const std::string& line : Lines(field)) {
      EXPECT_LE(line.size(), kFoldWidth) << r.fault;
      EXPECT_FALSE(line.find_first_not_of(' ') == std::string::npos) << r.fault << ": blank line";
    }
    std::string value = Unfold(field).substr(9);
    std::string expected_text = r.text;
    for (char& c : expected_text) {
      if (c == '\r' || c == '\n') c = ' ';
    }
    if (value.find("=?") == 0) value = DecodeWords(value);
    EXPECT_EQ(value, expected_text) << r.fault;
  }
}

TEST(AddressTest, MailboxForms) {
  struct Row {
    const char* fault;
    Mailbox mailbox;
    std::string expected;
  } rows[] = {
      {"no display name", {"", "a@example.com"}, "To: a@example.com\r\n"},
      {"name equal to the address is dropped", {"a@example.com", "a@example.com"}, "To: a@example.com\r\n"},
      {"name equal to the address in other case is dropped", {"A@Example.COM", "a@example.com"},
       "To: a@example.com\r\n"},
      {"a whole mailbox as the name keeps only its name", {"Pat Lee <PAT@example.org>", "pat@example.org"},
       "To: Pat Lee <pat@example.org>\r\n"},
      {"a quoted name in a whole mailbox loses its quotes", {"\"Lee, Pat\" <pat@example.org>", "pat@example.org"},
       "To: \"Lee, Pat\" <pat@example.org>\r\n"},
      {"the address twice is no name", {"test@gmail.com <test@gmail.com>", "test@gmail.com"},
       "To: test@gmail.com\r\n"},
      {"an empty name before the address is no name", {" <test@gmail.com>", "test@gmail.com"}, "To: test@gmail.com\r\n"},
      {"a mailbox for another address stays the name", {"Pat <pat@example.org>", "lee@example.org"},
       "To: \"Pat <pat@example.org>\" <lee@example.org>\r\n"},
      {"a name merely holding an @ stays", {"Sales @ Example", "sales@example.org"},
       "To: \"Sales @ Example\" <sales@example.org>\r\n"},
      {"atoms stay bare", {"Jane Doe", "jane@example.com"}, "To: Jane Doe <jane@example.com>\r\n"},
      {"specials force quoting", {"Doe, Jane (Sales)", "j@example.com"}, "To: \"Doe, Jane (Sales)\" <j@example.com>\r\n"},
      {"quotes and backslashes are escaped", {"say \"hi\" \\o/", "x@example.com"},
       "To: \"say \\\"hi\\\" \\\\o/\" <x@example.com>\r\n"},
      {"double space forces quoting", {"a  b", "x@example.com"}, "To: \"a  b\" <x@example.com>\r\n"},
      {"non-ASCII becomes encoded words, never quoted", {"Jörg Müller", "joerg@example.net"},
       "To: =?utf-8?B?SsO2cmcgTcO8bGxlcg==?= <joerg@example.net>\r\n"},
      {"blanks around a name are dropped, not encoded", {" Jörg Müller  ", "joerg@example.net"},
       "To: =?utf-8?B?SsO2cmcgTcO8bGxlcg==?= <joerg@example.net>\r\n"},
      {"control characters become blanks: readers refuse a name with a line break",
       {"Lab (MSD)\r\nReceived: from x\x7f", "lab@example.com"}, "To: \"Lab (MSD)  Received: from x\" <lab@example.com>\r\n"},
      {"a name needing several encoded words is cut between its words",
       {"Свиридов Дмитрий Владимирович", "d@example.ru"}, 
       "To: =?utf-8?Q?=D0=A1=D0=B2=D0=B8=D1=80=D0=B8=D0=B4=D0=BE=D0=B2_?=\r\n"
       " =?utf-8?B?0JTQvNC40YLRgNC40Lkg0JLQu9Cw0LTQuNC80LjRgNC+0LLQuNGH?=\r\n <d@example.ru>\r\n"},
  };
  for (const Row& r : rows) EXPECT_EQ(FoldAddressList("To", {r.mailbox}), r.expected) << r.fault;
}

TEST(AddressTest, LongListFoldsBetweenMailboxes) {
  std::vector<Mailbox> list;
  for (int i = 0; i < 40; ++i) {
    list.push_back({"Person Number " + std::to_string(i), "person" + std::to_string(i) + "@example.com"});
  }
  list.push_back({"Ünïcödé Name That Is Long Enough To Need More Than One Encoded Word Here", "u@example.com"});
  const std::string field = FoldAddressList("To", list);
  for (const std::string& line : Lines(field)) EXPECT_LE(line.size(), kFoldWidth);
  const std::string flat = Unfold(field);
  EXPECT_NE(flat.find("Person Number 0 <person0@example.com>, Person Number 1 <person1@example.com>,"), std::string::npos);
  // Every address is whole on one line: folding never breaks inside an addr-spec.
  for (const std::string& line : Lines(field)) {
    EXPECT_EQ(std::count(line.begin(), line.end(), '<'), std::count(line.begin(), line.end(), '>')) << line;
  }
}

TEST(AddressTest, MailAddressValidity) {
  struct Row {
    std::string address;
    bool ok;
  } rows[] = {
      {"a@example.com", true},
      {"first.last+tag@sub.example.org", true},
      {"", false},
      {"no-at-sign", false},
      {"@example.com", false},
      {"a@", false},
      {"/O=ORG/OU=EXCHANGE/CN=RECIPIENTS/CN=JDOE", false},
      {"a b@example.com", false},
      {"a<b@example.com", false},
      {"jörg@example.com", false},
      {std::string(400, 'a') + "@example.com", false},
  };
  for (const Row& r : rows) EXPECT_EQ(IsMailAddress(r.address), r.ok) << r.address;
}

TEST(DateTest, FileTimeAndFormatting) {
  struct Row {
    uint64_t filetime;
    std::optional<std::string> expected;
  } rows[] = {
      {0x01D95686F75FD700ull, "Tue, 14 Mar 2023 15:09:26 +0000"},
      {116444736000000000ull, "Thu, 1 Jan 1970 00:00:00 +0000"},
      {0, std::nullopt},
      {116444736000000000ull - 10000000, std::nullopt},  // before 1970
      {0xFFFFFFFFFFFFFFFFull, std::nullopt},             // far beyond 9999
      // 2000-02-29 12:00:00, a leap day in a century leap year.
      {(951825600ull + 11644473600ull) * 10000000ull, "Tue, 29 Feb 2000 12:00:00 +0000"},
      // 9999-12-31 23:59:59, the last representable second.
      {(253402300799ull + 11644473600ull) * 10000000ull, "Fri, 31 Dec 9999 23:59:59 +0000"},
  };
  for (const Row& r : rows) {
    auto unix_seconds = msg::FileTimeToUnixSeconds(r.filetime);
    ASSERT_EQ(unix_seconds.has_value(), r.expected.has_value()) << r.filetime;
    if (unix_seconds) {
      EXPECT_EQ(FormatDate(*unix_seconds), *r.expected);
    }
  }
}

TEST(MessageIdTest, Normalisation) {
  struct Row {
    std::string in;
    std::optional<std::string> out;
  } rows[] = {
      {"<abc@example.com>", "<abc@example.com>"},
      {"abc@example.com", "<abc@example.com>"},
      {"  <a.b$c@[10.0.0.1]>\r\n", "<a.b$c@[10.0.0.1]>"},
      {"<no-at-sign>", std::nullopt},
      {"<has space@example.com>", std::nullopt},
      {"<a@b@c>", std::nullopt},
      {"<.dot@example.com>", std::nullopt},
      {"", std::nullopt},
      {"<é@example.com>", std::nullopt},
  };
  for (const Row& r : rows) EXPECT_EQ(NormalizeMessageId(r.in), r.out) << r.in;

  // Stored ids as they stand, unless a reader would misread them.
  const Row stored[] = {
      {"<abc@example.com>", "<abc@example.com>"},
      {"<PK:6293601_3007@lturpost.de>", "<PK:6293601_3007@lturpost.de>"},
      {" no-at-sign\r\n", "<no-at-sign>"},
      {"<a.@[10.0.0.1]>", "<a.@[10.0.0.1]>"},
      {"<has space@example.com>", std::nullopt},
      {"<a@b@c>", std::nullopt},
      {"<a@b:c>", std::nullopt},
      {"<:a@b>", std::nullopt},
      {"<@b>", std::nullopt},
      {"<a(b)c@x>", std::nullopt},
      {"<a[b@x>", std::nullopt},
      {"<a<b@x>", std::nullopt},
      {"a\x01" "b@x", std::nullopt},
      {"<é@example.com>", std::nullopt},
      {"", std::nullopt},
      {"<" + std::string(901, 'a') + ">", std::nullopt},
  };
  for (const Row& r : stored) EXPECT_EQ(StoredMessageId(r.in), r.out) << r.in;

  EXPECT_EQ(MessageIdList("<a@x> <bad id> <b@y>"), (std::vector<std::string>{"<a@x>", "<b@y>"}));
  EXPECT_EQ(MessageIdList("a@x, b@y"), (std::vector<std::string>{"<a@x>", "<b@y>"}));
  EXPECT_EQ(MessageIdList("<PK:1@x>\r\n <no-at>"), (std::vector<std::string>{"<PK:1@x>", "<no-at>"}));
  EXPECT_EQ(MessageIdList(" no-at "), (std::vector<std::string>{"<no-at>"}));
  EXPECT_EQ(MessageIdList("your note of a:1@x today"), (std::vector<std::string>{"<a:1@x>"}));
}

TEST(ParameterTest, Forms) {
  struct Row {
    const char* fault;
    std::vector<Param> params;
    std::string expected;
  } rows[] = {
      {"token stays bare", {{"charset", "utf-8"}}, "Content-Type: text/plain; charset=utf-8\r\n"},
      {"spaces are quoted", {{"name", "my file.pdf"}}, "Content-Type: text/plain; name=\"my file.pdf\"\r\n"},
      {"non-ASCII uses RFC 2231", {{"filename", "Prüfbericht März.pdf"}},
       "Content-Type: text/plain; filename*=utf-8''Pr%C3%BCfbericht%20M%C3%A4rz.pdf\r\n"},
      {"legacy name uses an encoded word", {{"name", "Prüfbericht März.pdf", true}},
       "Content-Type: text/plain; name=\"=?utf-8?Q?Pr=C3=BCfbericht_M=C3=A4rz=2Epdf?=\"\r\n"},
  };
  for (const Row& r : rows) EXPECT_EQ(FoldParameterField("Content-Type", "text/plain", r.params), r.expected) << r.fault;
}

TEST(ParameterTest, LongNamesBecomeSectionsThatReassemble) {
  std::string name;
  for (int i = 0; i < 20; ++i) name += "Übersicht-" + std::to_string(i) + " ";
  name += ".xlsx";
  const std::string field = FoldParameterField("Content-Disposition", "attachment", {{"filename", name}});
  for (const std::string& line : Lines(field)) EXPECT_LE(line.size(), kFoldWidth) << line;
  // Reassemble filename*N*= sections in order and percent-decode.
  const std::string flat = Unfold(field);
  std::string encoded;
  for (int n = 0;; ++n) {
    const std::string key = "filename*" + std::to_string(n) + "*=";
    size_t pos = flat.find(key);
    if (pos == std::string::npos) break;
    pos += key.size();
    size_t end = flat.find(';', pos);
    encoded += flat.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
  }
  ASSERT_EQ(encoded.substr(0, 7), "utf-8''");
  std::string decoded;
  for (size_t i = 7; i < encoded.size(); ++i) {
    if (encoded[i] == '%') {
      decoded += static_cast<char>(mime_test::HexValue(encoded[i + 1]) * 16 + mime_test::HexValue(encoded[i + 2]));
      i += 2;
    } else {
      decoded += encoded[i];
    }
  }
  EXPECT_EQ(decoded, name);
}

TEST(CarriedFieldTest, KeepsTheTextAndMovesOnlyLineBreaks) {
  const std::string long_value = [] {
    std::string v;
    for (int i = 0; i < 30; ++i) v += " hop" + std::to_string(i) + ".example.net";
    return v;
  }();
  struct Row {
    const char* fault;
    std::string name, raw;
    std::optional<std::string> expected;  // "": only the checks below; nullopt: refused
    std::string text;                     // what a reader decodes, when not the raw text unfolded
  } rows[] = {
      {"a folded field that fits keeps its own breaks", "Received",
       " from a (b [1.2.3.4])\r\n          by c with ESMTP; Fri, 4 Nov 2005", "", ""},
      {"LF-only lines end in CR LF", "X-A", " a\n b", "X-A: a\r\n b\r\n", ""},
      {"an empty first line stays", "Message-ID", "\r\n <id@x>", "Message-ID:\r\n <id@x>\r\n", ""},
      {"a long line folds at its own blanks", "X-Trace", long_value, "", ""},
      {"a non-ASCII word is encoded, its ASCII neighbours stay", "X-Note", " Grüße an alle",
       "X-Note: =?utf-8?B?R3LDvMOfZQ==?= an alle\r\n", "Grüße an alle"},
      {"a run of non-ASCII words keeps its blanks inside one encoded text", "X-A", " é ü x",
       "X-A: =?utf-8?B?w6kgw7w=?= x\r\n", "é ü x"},
      {"control characters are encoded, not written", "X-A", " a\x01" "b", "X-A: =?utf-8?B?YQFi?=\r\n", "a\x01" "b"},
      {"a long value on a line of its own stays there", "X-Long", "\r\n\t" + std::string(100, 'x'),
       "X-Long:\r\n\t" + std::string(100, 'x') + "\r\n", ""},
      {"a blank continuation line is not kept", "X-A", " a\r\n \r\n b", "X-A: a  b\r\n", ""},
      {"an empty value keeps the field", "X-Empty", "", "X-Empty:\r\n", ""},
      {"a word no line can hold is refused", "X-A", " " + std::string(1000, 'x'), std::nullopt, ""},
      {"a name with a blank is refused", "Bad Name", " x", std::nullopt, ""},
      {"an empty name is refused", "", " x", std::nullopt, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.fault);
    const std::optional<std::string> field = FoldCarriedField(r.name, r.raw);
    ASSERT_EQ(field.has_value(), r.expected.has_value());
    if (!field) continue;
    if (!r.expected->empty()) {
      EXPECT_EQ(*field, *r.expected);
    }
    std::string raw_text;
    for (char c : r.raw) {
      if (c != '\r' && c != '\n') raw_text += c;
    }
    const size_t first = raw_text.find_first_not_of(" \t");
    raw_text = first == std::string::npos ? "" : raw_text.substr(first);
    std::string value = Unfold(*field).substr(r.name.size() + 1);
    value.erase(0, std::min(value.size(), value.find_first_not_of(" \t")));
    if (r.text.empty()) {
      EXPECT_EQ(value, raw_text) << "only line breaks may move";
    }
    for (const std::string& line : Lines(*field)) {
      // Only a line of one word may pass the fold width: there is nowhere to break it.
      const size_t word = line.find_first_not_of(" \t");
      if (word != std::string::npos && line.find_first_of(" \t", word) != std::string::npos) {
        EXPECT_LE(line.size(), kFoldWidth) << line;
      }
      for (char c : line) EXPECT_TRUE((c >= 0x20 && c < 0x7F) || c == '\t') << line;
    }
  }
}

TEST(ParseDateTest, ReadsTheInstantOfEveryFormAndRefusesOthers) {
  struct Row {
    const char* text;
    std::optional<int64_t> instant;
  } rows[] = {
      {"Tue, 22 Jul 2025 12:15:09 +0000", 1753186509},
      {"Fri, 4 Nov 2005 21:16:00 -0500", 1131156960},
      {"27 Feb 2007 00:12:10 +0100", 1172531530},
      {"Mon, 24 Sep 07 15:28 EDT", 1190662080},
      {" Tue, 1 Jan 2019 10:00:00 +0000 (UTC)", 1546336800},
      {"Tue,  1 Jan 2019\r\n 10:00:00 GMT", 1546336800},
      {"Tue, 32 Jan 2019 10:00:00 +0000", std::nullopt},
      {"Tue 1 Jan 2019 10:00:00 +0000", std::nullopt},
      {"1 Foo 2019 10:00 +0000", std::nullopt},
      {"1 Jan 2019 24:00 +0000", std::nullopt},
      {"1 Jan 2019 10:00 +01", std::nullopt},
      {"1 Jan 2019 10:00 +0160", std::nullopt},
      {"1 Jan 2019 10:00:00 +0000 later", std::nullopt},
      {"1 Jan 2019 10:00 +0000 (unclosed", std::nullopt},
      {"", std::nullopt},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ParseDate(r.text), r.instant) << r.text;
  }
}

}  // namespace
}  // namespace formats::mime
