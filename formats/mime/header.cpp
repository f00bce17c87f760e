#include "formats/mime/header.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "formats/common/ascii.h"
#include "formats/common/civil_time.h"
#include "formats/common/utf8.h"
#include "formats/mime/base64.h"

namespace formats::mime {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool IsAtext(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+-/=?^_`{|}~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsPrintableAscii(std::string_view text, bool allow_space) {
  return std::all_of(text.begin(), text.end(), [&](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return (c > 0x20 && c < 0x7F) || (allow_space && c == ' ');
  });
}

// Length of the UTF-8 character starting at text[i], or 1 for a byte that does
// not start a valid one (it is then carried alone).
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  return std::max<size_t>(DecodeUtf8At(text, i).length, 1);
}

bool QLiteral(unsigned char c, WordContext context) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  if (context == WordContext::kPhrase) return std::string_view("!*+-/").find(static_cast<char>(c)) != std::string_view::npos;
  return c > 0x20 && c < 0x7F && c != '=' && c != '?' && c != '_';
}

size_t QCost(unsigned char c, WordContext context) {
  return (c == ' ' || QLiteral(c, context)) ? 1 : 3;
}

void AppendQ(std::string& out, std::string_view bytes, WordContext context) {
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == ' ') {
      out += '_';
    } else if (QLiteral(c, context)) {
      out += ch;
    } else {
      out += '=';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
}

bool IsToken(std::string_view value) {
  if (value.empty()) return false;
  return std::all_of(value.begin(), value.end(), [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c > 0x20 && c < 0x7F && std::string_view("()<>@,;:\\\"/[]?=").find(ch) == std::string_view::npos;
  });
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    if (ch == '"' || ch == '\\') out += '\\';
    out += ch;
  }
  out += '"';
  return out;
}

bool IsRfc2231Literal(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$&+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

// Percent-encodes whole characters from text[pos...] into out until adding the
// next character would pass max_chars; returns the new position.
size_t PercentEncodeSome(std::string_view text, size_t pos, size_t max_chars, std::string& out) {
  size_t used = 0;
  while (pos < text.size()) {
    const size_t n = Utf8SequenceLength(text, pos);
    std::string piece;
    for (size_t k = 0; k < n; ++k) {
      const auto c = static_cast<unsigned char>(text[pos + k]);
      if (IsRfc2231Literal(c)) {
        piece += static_cast<char>(c);
      } else {
        piece += '%';
        piece += kHex[c >> 4];
        piece += kHex[c & 15];
      }
    }
    if (used > 0 && used + piece.size() > max_chars) break;
    out += piece;
    used += piece.size();
    pos += n;
  }
  return pos;
}

// Tokens of one parameter (several when it is split into sections or words).
std::vector<std::string> ParamTokens(const Param& p) {
  constexpr size_t kSection = 60;
  const std::string& v = p.value;
  if (v.size() <= kSection && IsToken(v)) return {p.name + "=" + v};
  if (v.size() <= kSection && IsPrintableAscii(v, true)) return {p.name + "=" + Quote(v)};
  if (p.legacy_encoded_word) {
    if (IsPrintableAscii(v, true) && v.size() <= 600) return {p.name + "=" + Quote(v)};
    std::vector<std::string> words = EncodeWords(v, WordContext::kPhrase, 66);
    if (words.empty()) return {p.name + "=\"\""};
    words.front().insert(0, p.name + "=\"");
    words.back() += '"';
    return words;
  }
  std::string whole = "utf-8''";
  PercentEncodeSome(v, 0, SIZE_MAX, whole);
  if (whole.size() + p.name.size() + 2 <= 72) return {p.name + "*=" + whole};
  std::vector<std::string> sections;
  size_t pos = 0;
  for (int index = 0; pos < v.size(); ++index) {
    if (!sections.empty()) sections.back() += ';';
    std::string section = p.name + "*" + std::to_string(index) + "*=";
    if (index == 0) section += "utf-8''";
    pos = PercentEncodeSome(v, pos, kSection, section);
    sections.push_back(std::move(section));
  }
  return sections;
}

bool IsDotAtomText(std::string_view s) {
  if (s.empty() || s.front() == '.' || s.back() == '.') return false;
  return std::all_of(s.begin(), s.end(), [](char ch) {
    return ch == '.' || IsAtext(static_cast<unsigned char>(ch));
  });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

}  // namespace

namespace {

// Where the B words of utf8 end when each holds at most max_bytes: every word but
// the last ends on a character boundary after a multiple of 3 bytes, so it needs
// no padding. Readers that join adjacent words before decoding them would stop at
// a "=" inside the joined text and lose the rest. Empty when some stretch of text
// offers no such boundary within max_bytes (possible where 1-, 2- and 4-byte
// characters alternate); Q words are used then.
std::vector<size_t> BWordEnds(std::string_view utf8, size_t max_bytes) {
  std::vector<size_t> ends;
  size_t start = 0;
  while (utf8.size() - start > max_bytes) {
    size_t end = start;
    for (size_t i = start; i - start <= max_bytes;) {
      if (i > start && (i - start) % 3 == 0) end = i;
      i += Utf8SequenceLength(utf8, i);
    }
    if (end == start) return {};
    ends.push_back(end);
    start = end;
  }
  ends.push_back(utf8.size());
  return ends;
}

}  // namespace

namespace {

std::string QWord(std::string_view bytes, WordContext context) {
  std::string word = "=?utf-8?Q?";
  AppendQ(word, bytes, context);
  word += "?=";
  return word;
}

std::string BWord(std::string_view bytes) { return "=?utf-8?B?" + EncodeBase64(bytes) + "?="; }

// Encoded words that end where the text has a blank (the blank closing the
// earlier word), so that a reader which shows the words apart still shows
// every word of the text whole. A word is B when that is shorter and it needs
// no padding (or is the last), else Q. Empty when some stretch between blanks
// is too long for one word: the caller then splits by characters.
std::vector<std::string> WordsAtBlanks(std::string_view utf8, WordContext context, size_t budget) {
  std::vector<std::string> words;
  size_t start = 0;
  while (start < utf8.size()) {
    size_t best_end = 0;
    bool best_b = false;
    size_t q_cost = 0;
    for (size_t i = start; i < utf8.size();) {
      q_cost += QCost(static_cast<unsigned char>(utf8[i]), context);
      ++i;
      const bool at_end = i == utf8.size();
      const size_t b_cost = (i - start + 2) / 3 * 4;
      if (q_cost > budget && b_cost > budget) break;
      if (!at_end && utf8[i - 1] != ' ') continue;
      // Only the last word may end in B padding: readers that join adjacent
      // B words before decoding stop at a "=" inside them.
      const bool b_ok = b_cost <= budget && (at_end || (i - start) % 3 == 0);
      const bool q_ok = q_cost <= budget;
      if (b_ok || q_ok) {
        best_end = i;
        best_b = b_ok && (!q_ok || b_cost < q_cost);
      }
    }
    if (best_end == 0) return {};
    const std::string_view piece = utf8.substr(start, best_end - start);
    words.push_back(best_b ? BWord(piece) : QWord(piece, context));
    start = best_end;
  }
  return words;
}

}  // namespace

std::vector<std::string> EncodeWords(std::string_view utf8, WordContext context, size_t max_word) {
  std::vector<std::string> words;
  if (utf8.empty()) return words;
  max_word = std::clamp<size_t>(max_word, 16, 75);
  constexpr size_t kOverhead = 12;  // "=?utf-8?Q?" + "?="
  const size_t budget = max_word - kOverhead;

  size_t q_total = 0;
  for (char ch : utf8) q_total += QCost(static_cast<unsigned char>(ch), context);
  const size_t b_total = (utf8.size() + 2) / 3 * 4;
  const bool one_word = std::min(q_total, b_total) <= budget;
  if (!one_word && utf8.find(' ') != std::string_view::npos) {
    words = WordsAtBlanks(utf8, context, budget);
    if (!words.empty()) return words;
  }
  std::vector<size_t> b_ends;
  if (q_total > b_total) b_ends = BWordEnds(utf8, budget / 4 * 3);
  if (!b_ends.empty()) {
    size_t start = 0;
    for (size_t end : b_ends) {
      words.push_back(BWord(utf8.substr(start, end - start)));
      start = end;
    }
    return words;
  }

  // Q words end before the character that would overflow the budget; a word
  // never holds part of a character, so each decodes to whole UTF-8.
  size_t start = 0;
  size_t cost = 0;
  auto emit = [&](size_t end) {
    words.push_back(QWord(utf8.substr(start, end - start), context));
    start = end;
    cost = 0;
  };
  for (size_t i = 0; i < utf8.size();) {
    const size_t n = Utf8SequenceLength(utf8, i);
    size_t add = 0;
    for (size_t k = 0; k < n; ++k) add += QCost(static_cast<unsigned char>(utf8[i + k]), context);
    if (cost > 0 && cost + add > budget) emit(i);
    cost += add;
    i += n;
  }
  emit(utf8.size());
  return words;
}

std::string FoldTokens(std::string_view name, const std::vector<std::string>& tokens) {
  std::string out(name);
  out += ':';
  size_t line = out.size();
  bool first = true;
  for (const std::string& token : tokens) {
    if (!first && !token.empty() && line + 1 + token.size() > kFoldWidth) {
      out += "\r\n";
      line = 0;
    }
    out += ' ';
    out += token;
    line += 1 + token.size();
    first = false;
  }
  out += "\r\n";
  return out;
}

std::string FoldUnstructured(std::string_view name, std::string_view utf8) {
  std::string text(utf8);
  for (char& ch : text) {
    if (ch == '\r' || ch == '\n') ch = ' ';
  }
  // A word that cannot fit on one line even after folding has to be split, which
  // only encoded words allow.
  const size_t longest_word = kMaxLineLength - name.size() - 2;
  bool plain = text.find("=?") == std::string::npos &&
               std::all_of(text.begin(), text.end(), [](char ch) {
                 const auto c = static_cast<unsigned char>(ch);
                 return (c >= 0x20 && c < 0x7F) || c == '\t';
               });
  std::vector<std::string> tokens;
  if (plain) {
    size_t start = 0;
    while (true) {
      const size_t space = text.find(' ', start);
      tokens.push_back(text.substr(start, space == std::string::npos ? std::string::npos : space - start));
      if (tokens.back().size() > longest_word) plain = false;
      if (space == std::string::npos) break;
      start = space + 1;
    }
  }
  if (!plain) tokens = EncodeWords(text, WordContext::kText, 75 - name.size() - 2 < 40 ? 66 : 75 - name.size() - 2);
  return FoldTokens(name, tokens);
}

bool IsMailAddress(std::string_view address) {
  if (address.empty() || address.size() > 320) return false;
  const size_t at = address.rfind('@');
  if (at == std::string_view::npos || at == 0 || at + 1 == address.size()) return false;
  return std::all_of(address.begin(), address.end(), [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c > 0x20 && c < 0x7F && std::string_view("<>(),;:\\\"").find(ch) == std::string_view::npos;
  });
}

namespace {

std::string ControlsToBlanks(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) ch = ' ';
  }
  return out;
}

}  // namespace

std::vector<std::string> PhraseTokens(std::string_view text) {
  std::vector<std::string> tokens;
  const std::string cleaned = ControlsToBlanks(text);
  const std::string_view utf8 = cleaned;
  if (utf8.empty()) return tokens;
  if (!IsPrintableAscii(utf8, true)) return EncodeWords(utf8, WordContext::kPhrase);
  size_t start = 0;
  bool atoms = true;
  while (atoms) {
    const size_t space = utf8.find(' ', start);
    std::string_view word = utf8.substr(start, space == std::string_view::npos ? std::string_view::npos : space - start);
    if (word.empty() || !std::all_of(word.begin(), word.end(), [](char c) { return IsAtext(static_cast<unsigned char>(c)); })) {
      atoms = false;
      break;
    }
    tokens.emplace_back(word);
    if (space == std::string_view::npos) break;
    start = space + 1;
  }
  if (atoms) return tokens;
  if (utf8.size() > 600) return EncodeWords(utf8, WordContext::kPhrase);
  return {Quote(utf8)};
}

namespace {

// A display name without the address it repeats: some writers store the whole
// mailbox ("X <address>") or the address itself as the name, which readers
// then show two or three times.
std::string_view WithoutRepeatedAddress(std::string_view name, std::string_view address) {
  if (EqualsIgnoreCase(name, address)) return {};
  if (name.size() < address.size() + 2 || name.back() != '>') return name;
  const size_t open = name.size() - address.size() - 2;
  if (name[open] != '<' || !EqualsIgnoreCase(name.substr(open + 1, address.size()), address)) return name;
  std::string_view rest = Trim(name.substr(0, open));
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = Trim(rest.substr(1, rest.size() - 2));
  return EqualsIgnoreCase(rest, address) ? std::string_view() : rest;
}

}  // namespace

std::string FoldAddressList(std::string_view name, const std::vector<Mailbox>& mailboxes) {
  std::vector<std::string> tokens;
  for (size_t i = 0; i < mailboxes.size(); ++i) {
    const Mailbox& m = mailboxes[i];
    // Blanks around a name mean nothing, and readers differ on whether an
    // encoded word's trailing blank is part of the name.
    const std::string cleaned = ControlsToBlanks(m.display_name);
    const std::string_view name = WithoutRepeatedAddress(Trim(cleaned), m.address);
    if (name.empty()) {
      tokens.push_back(m.address);
    } else {
      for (std::string& t : PhraseTokens(name)) tokens.push_back(std::move(t));
      tokens.push_back("<" + m.address + ">");
    }
    if (i + 1 < mailboxes.size()) tokens.back() += ',';
  }
  return FoldTokens(name, tokens);
}

std::string FormatDate(int64_t unix_seconds) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const CivilTime t = CivilFromSeconds(unix_seconds);
  const int weekday = WeekdayOfDays(DaysFromCivil(t.year, t.month, t.day));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %d %s %04d %02d:%02d:%02d +0000", kDays[weekday], t.day, kMonths[t.month - 1],
                t.year, t.hour, t.minute, t.second);
  return buf;
}

namespace {

// `text` inside angle brackets, as a message id is written.
std::string Bracketed(std::string_view text) {
  std::string id;
  id.reserve(text.size() + 2);
  id += '<';
  id.append(text);
  id += '>';
  return id;
}

}  // namespace

std::optional<std::string> NormalizeMessageId(std::string_view text) {
  text = Trim(text);
  if (text.size() >= 2 && text.front() == '<' && text.back() == '>') text = text.substr(1, text.size() - 2);
  if (text.empty() || text.size() > 900) return std::nullopt;
  const size_t at = text.rfind('@');
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view left = text.substr(0, at);
  const std::string_view right = text.substr(at + 1);
  if (!IsDotAtomText(left)) return std::nullopt;
  const bool literal = right.size() >= 2 && right.front() == '[' && right.back() == ']' &&
                       IsPrintableAscii(right, false) &&
                       right.substr(1, right.size() - 2).find_first_of("[]\\") == std::string_view::npos;
  if (!literal && !IsDotAtomText(right)) return std::nullopt;
  return Bracketed(text);
}

std::optional<std::string> StoredMessageId(std::string_view text) {
  if (std::optional<std::string> strict = NormalizeMessageId(text)) return strict;
  text = Trim(text);
  if (text.size() >= 2 && text.front() == '<' && text.back() == '>') text = text.substr(1, text.size() - 2);
  if (text.empty() || text.size() > 900 || !IsPrintableAscii(text, false)) return std::nullopt;
  const size_t at = text.find('@');
  const std::string_view left = text.substr(0, at);
  if (left.empty() || std::string_view(",:;").find(left.front()) != std::string_view::npos ||
      left.find_first_of("<>()[]\\") != std::string_view::npos) {
    return std::nullopt;
  }
  // A strict id failed only on its left part; the right part still is a domain.
  if (at != std::string_view::npos && !NormalizeMessageId("x" + std::string(text.substr(at)))) return std::nullopt;
  return Bracketed(text);
}

std::vector<std::string> MessageIdList(std::string_view text) {
  std::vector<std::string> ids;
  if (text.find('<') == std::string_view::npos) {
    // Words of a phrase ("your message of ...") are no ids: of several, only
    // those with an "@" count.
    const bool one = Trim(text).find_first_of(" \t\r\n,") == std::string_view::npos;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find_first_of(" \t\r\n,", start);
      if (end == std::string_view::npos) end = text.size();
      const std::string_view word = text.substr(start, end - start);
      if (one || word.find('@') != std::string_view::npos) {
        if (auto id = StoredMessageId(word)) ids.push_back(*id);
      }
      start = end + 1;
    }
    return ids;
  }
  size_t pos = 0;
  while ((pos = text.find('<', pos)) != std::string_view::npos) {
    const size_t end = text.find('>', pos);
    if (end == std::string_view::npos) break;
    if (auto id = StoredMessageId(text.substr(pos, end - pos + 1))) ids.push_back(*id);
    pos = end + 1;
  }
  return ids;
}

std::vector<std::string> ParameterTokens(std::string_view value, const std::vector<Param>& params) {
  std::vector<std::string> tokens{std::string(value)};
  for (const Param& p : params) {
    tokens.back() += ';';
    for (std::string& t : ParamTokens(p)) tokens.push_back(std::move(t));
  }
  return tokens;
}

std::string FoldParameterField(std::string_view name, std::string_view value,
                               const std::vector<Param>& params) {
  return FoldTokens(name, ParameterTokens(value, params));
}

}  // namespace formats::mime
