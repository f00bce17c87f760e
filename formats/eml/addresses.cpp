// Sender and recipients as Internet mailboxes: the SMTP address the item
// carries, else one the item gives elsewhere for the same Exchange DN, else for
// an Exchange sender or recipient of a received item the original header block,
// else a one-line reason why the item cannot be sent on.
#include <algorithm>

#include "formats/common/ascii.h"
#include "formats/eml/compose_p.h"
#include "formats/mime/header_block.h"

namespace formats::eml {

namespace {

// The addr-spec an address property holds: the text itself when it is one, or
// the address inside the angle brackets of a whole mailbox ("Name <local@domain>",
// as some writers store their sender).
std::optional<std::string> AddrSpecIn(std::string text) {
  if (mime::IsMailAddress(text)) return text;
  const size_t end = text.find_last_not_of(" \t");
  if (end == std::string::npos || text[end] != '>') return std::nullopt;
  const size_t open = text.rfind('<', end);
  if (open == std::string::npos || text.find('>') != end) return std::nullopt;
  std::string inner = text.substr(open + 1, end - open - 1);
  if (!mime::IsMailAddress(inner)) return std::nullopt;
  return inner;
}

bool IsExchange(const msg::Address& a) {
  return EqualsIgnoreCase(a.address_type, "EX") && !a.address.empty();
}

// The SMTP address that the item gives for the Exchange DN of `a` elsewhere: the
// represented owner, the sender, the creator, the last modifier or a recipient
// row that carries the same DN (compared without regard to case) beside an SMTP
// address. Only the DN decides: names repeat, and the creator of a received item
// is its recipient, not its sender.
std::optional<std::string> AddressByDn(const msg::Message& m, const msg::Address& a) {
  if (!IsExchange(a)) return std::nullopt;
  const std::string dn = RemoveNuls(a.address);
  auto smtp_of = [&](const msg::Address& other) -> std::optional<std::string> {
    if (!IsExchange(other) || !EqualsIgnoreCase(RemoveNuls(other.address), dn)) return std::nullopt;
    return AddrSpecIn(RemoveNuls(other.smtp_address));
  };
  for (const msg::Address* other : {&m.sent_representing, &m.sender, &m.creator, &m.last_modifier}) {
    if (auto smtp = smtp_of(*other)) return smtp;
  }
  for (const msg::Recipient& r : m.recipients) {
    if (auto smtp = smtp_of(r)) return smtp;
  }
  return std::nullopt;
}

// Why a party with a name or an address has no Internet address, in parentheses.
std::string MissingAddressReason(const msg::Address& a) {
  const std::string who = RemoveNuls(a.name.empty() ? a.address : a.name);
  if (IsExchange(a)) return "(\"" + who + "\" has only an Exchange address and the file holds no SMTP address)";
  if (a.address.empty()) return "(\"" + who + "\" has no address)";
  return "(\"" + RemoveNuls(a.address) + "\" is not an Internet mail address)";
}

// The one line that says why an item has no usable sender: users act on it
// (a draft cannot be converted; an internal sender needs the SMTP address).
std::string NoSenderReason(const msg::Message& m) {
  constexpr char kPrefix[] = "Sender has no Internet mail address";
  const msg::Address* known = nullptr;
  for (const msg::Address* group : {&m.sender, &m.sent_representing}) {
    if (!known && (!group->address.empty() || !group->name.empty())) known = group;
  }
  if (known == nullptr) return std::string(kPrefix) + " (the item has no sender: an unsent draft)";
  return std::string(kPrefix) + " " + MissingAddressReason(*known);
}

// An Exchange recipient of a received item, found in the original To or Cc
// header: by display name, or as the only one when the field and the item both
// have exactly one.
std::optional<std::string> AddressFromHeaders(const msg::Message& m, const msg::Recipient& r, uint32_t type) {
  if (type == 3 || m.transport_headers.empty()) return std::nullopt;
  const std::vector<mime::Mailbox> listed = mime::HeaderMailboxes(m.transport_headers, type == 1 ? "To" : "Cc");
  for (const mime::Mailbox& box : listed) {
    if (!r.name.empty() && (EqualsIgnoreCase(box.display_name, r.name) || EqualsIgnoreCase(box.address, r.name))) {
      return box.address;
    }
  }
  const auto same_type = std::count_if(m.recipients.begin(), m.recipients.end(), [type](const msg::Recipient& x) {
    return (static_cast<uint32_t>(x.type) & 0xFF) == type;
  });
  if (listed.size() == 1 && same_type == 1) return listed.front().address;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> InternetAddress(const msg::Address& address) {
  // What the address properties state outranks what an entry id says: an entry
  // id may be left over from an earlier copy of the item.
  std::optional<std::string> from_entry_id;
  if (std::optional<std::string> smtp = AddrSpecIn(RemoveNuls(address.smtp_address))) {
    if (!address.smtp_from_entry_id) return smtp;
    from_entry_id = std::move(smtp);
  }
  // An address that is an Internet address is one whatever type the row
  // declares (writers put SMTP addresses under EX, no type or their own); an
  // X.500 DN, which starts with "/", never is. Only under type SMTP does it
  // outrank the entry id.
  const std::string own = RemoveNuls(address.address);
  std::optional<std::string> own_address;
  if (!own.empty() && own.front() != '/') own_address = AddrSpecIn(own);
  if (own_address && EqualsIgnoreCase(address.address_type, "SMTP")) return own_address;
  if (from_entry_id) return from_entry_id;
  if (!own.empty()) return own_address;
  // Without a stored address, a name that is an address stands for it.
  std::string name = RemoveNuls(address.name);
  if (mime::IsMailAddress(name)) return name;
  return std::nullopt;
}

Result<Addresses> ResolveAddresses(const msg::Message& m, bool top_level) {
  Addresses out;
  // From: the sender; the represented owner when the sender group is absent.
  // Sent on behalf of someone else, From is the owner and Sender the one who
  // sent it (RFC 5322 3.6.2).
  std::optional<mime::Mailbox>& from = out.from;
  for (const msg::Address* group : {&m.sender, &m.sent_representing}) {
    if (auto address = InternetAddress(*group)) {
      from = mime::Mailbox{RemoveNuls(group->name), *address};
      break;
    }
  }
  for (const msg::Address* group : {&m.sender, &m.sent_representing}) {
    if (from) break;
    if (auto address = AddressByDn(m, *group)) from = mime::Mailbox{RemoveNuls(group->name), *address};
  }
  std::optional<std::string> owner = InternetAddress(m.sent_representing);
  if (!owner) owner = AddressByDn(m, m.sent_representing);
  if (owner && from && !EqualsIgnoreCase(*owner, from->address)) {
    out.sender = from;
    from = mime::Mailbox{RemoveNuls(m.sent_representing.name), *owner};
  }
  for (const msg::Address& r : m.reply_to) {
    if (auto address = InternetAddress(r)) out.reply_to.push_back({RemoveNuls(r.name), *address});
  }
  if (!from) {
    // An Exchange sender of a received item: its original header says who it was.
    std::vector<mime::Mailbox> header_from = mime::HeaderMailboxes(m.transport_headers, "From");
    if (!header_from.empty()) {
      from = header_from.front();
      if (!m.sender.name.empty()) from->display_name = RemoveNuls(m.sender.name);
    }
  }
  if (!from && top_level) {
    return MakeError(ErrorCode::kNoSender, 0, NoSenderReason(m));
  }
  // An embedded item without a sender (a draft, a forwarded unsent message) is
  // still carried, only without From: dropping it would lose the attachment.

  // Whatever its kind, a report's recipient table lists the original's recipients.
  if (StartsWithIgnoreCase(m.message_class, "REPORT.")) {
    out.lists[0] = ReportAddressees(m);
    return out;
  }

  for (const msg::Recipient& r : m.recipients) {
    // Resend flags (0x10000000, 0x80000000) may be OR-ed into the type.
    const uint32_t type = static_cast<uint32_t>(r.type) & 0xFF;
    if (type < 1 || type > 3) continue;
    // A row with neither name nor address names nobody.
    if (RemoveNuls(r.name).empty() && RemoveNuls(r.address).empty() && RemoveNuls(r.smtp_address).empty()) continue;
    std::optional<std::string> address = InternetAddress(r);
    if (!address) address = AddressByDn(m, r);
    if (!address) address = AddressFromHeaders(m, r, type);
    if (!address) {
      if (!top_level) continue;
      const std::string who = RemoveNuls(!r.name.empty() ? r.name : r.address);
      return MakeError(ErrorCode::kBadAddress, 0,
                       "Recipient \"" + who + "\" has no Internet mail address " + MissingAddressReason(r));
    }
    out.lists[type - 1].push_back({RemoveNuls(r.name), *address});
  }
  return out;
}

}  // namespace formats::eml
