// Header fields: RFC 2047 encoded words, folding, addresses, dates, message ids and
// RFC 2231 parameters.
//
// Every function returns pure US-ASCII. Functions that return a whole field give
// "Name: value" with its CR LF, folded at 78 characters where the value allows it;
// no line is ever longer than 998. Address lists and free text fold by separate
// functions because they may break at different places.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace formats::mime {

inline constexpr size_t kFoldWidth = 78;
inline constexpr size_t kMaxLineLength = 998;

// Where an encoded word stands: a phrase (display name) allows fewer literal
// characters in Q encoding than free text does.
enum class WordContext { kText, kPhrase };

// Splits UTF-8 text into RFC 2047 encoded words ("=?utf-8?Q?...?=" or B), each at
// most max_word characters (<= 75) and each holding whole characters only, so no
// UTF-8 sequence is split. Every B word but the last holds a multiple of 3 bytes
// (no padding), so the words also decode when a reader joins them first. Q is
// used when it is not longer than B, or when the text cannot be cut that way.
// Text that needs several words and has blanks is cut after a blank, so no word
// of the text is split between encoded words (readers that leave a blank
// between encoded words would show it split); each word is then Q or B by the
// same rules. Invalid UTF-8 bytes are kept as single bytes.
std::vector<std::string> EncodeWords(std::string_view utf8, WordContext context,
                                     size_t max_word = 66);

// Joins tokens with single spaces into one field, breaking the line before a token
// whenever the line would pass 78 characters. Tokens are never split. Empty tokens
// (runs of spaces in the original text) are kept but never start a line.
std::string FoldTokens(std::string_view name, const std::vector<std::string>& tokens);

// An unstructured field (Subject, Comments): ASCII text folds at its spaces; text
// with non-ASCII or control characters, "=?", or a word too long for one line
// becomes encoded words. CR and LF in the text become spaces.
std::string FoldUnstructured(std::string_view name, std::string_view utf8);

struct Mailbox {
  std::string display_name;  // UTF-8, may be empty
  std::string address;       // addr-spec, ASCII (the caller validates it)
};

// True when text is usable as an addr-spec here: local@domain, printable ASCII,
// no spaces, no angle brackets, one '@' with text on both sides.
bool IsMailAddress(std::string_view address);

// A display name as phrase tokens: bare atoms, one quoted-string, or encoded words.
// Control characters (C0, DEL) become blanks first: readers refuse a name that
// holds a line break, and with it the whole field.
std::vector<std::string> PhraseTokens(std::string_view utf8);

// An address field (From, To, Cc, Bcc): mailboxes separated by ", ", folded between
// mailboxes or between the words of a display name. Control characters in a
// display name become blanks, blanks around it are dropped; a name that is
// empty or equal to the address (case aside) is left out, and a name that is a
// whole mailbox "X <address>" for the same address is written as X.
std::string FoldAddressList(std::string_view name, const std::vector<Mailbox>& mailboxes);

// "Tue, 14 Mar 2023 15:09:26 +0000" (RFC 5322 3.3, UTC).
std::string FormatDate(int64_t unix_seconds);

// "<left@right>" when text (with or without angle brackets, surrounding blanks
// ignored) is a well-formed msg-id; nullopt otherwise.
std::optional<std::string> NormalizeMessageId(std::string_view text);

// "<id>" for a message id as an item stores it, whenever it can be written as it
// stands: a well-formed msg-id, or printable ASCII without blanks that readers
// still take as one id (ids with a colon on the left or without "@" are common
// and kept by mail programs). Refused, besides the over-long (more than 900
// characters): the characters that readers parse as structure inside an id
// (angle brackets, parentheses, square brackets, backslash), a left part that is
// empty or starts with one of ",:;", more than one "@", and a right part that is
// neither a dot-atom nor a domain literal. Angle brackets are added when the text
// has none; surrounding blanks are dropped.
std::optional<std::string> StoredMessageId(std::string_view text);

// The ids of a stored list (In-Reply-To, References) that StoredMessageId takes,
// in order; others dropped. Without angle brackets, blanks and commas separate,
// and of several words only those with an "@" are ids.
std::vector<std::string> MessageIdList(std::string_view text);

// A MIME parameter. legacy_encoded_word: a non-ASCII value is written as a quoted
// string of encoded words (name= for old readers) instead of RFC 2231.
struct Param {
  std::string name;
  std::string value;  // UTF-8
  bool legacy_encoded_word = false;
};

// "value; p1=...; p2*=utf-8''..." as fold tokens: ASCII values as token or quoted
// string, others (and long ones) as RFC 2231 extended values with continuations.
std::vector<std::string> ParameterTokens(std::string_view value, const std::vector<Param>& params);

// A complete "Content-Type:"-style field from ParameterTokens.
std::string FoldParameterField(std::string_view name, std::string_view value,
                               const std::vector<Param>& params);

}  // namespace formats::mime
