// Sender and recipients as Internet mailboxes: the SMTP address the item
// carries, else for an Exchange sender or recipient of a received item the
// original header block, else a one-line reason why the item cannot be sent on.
#include <algorithm>

#include "formats/common/ascii.h"
#include "formats/eml/compose_p.h"
#include "formats/mime/header_block.h"

namespace formats::eml {

namespace {

// The one line that says why an item has no usable sender: users act on it
// (a draft cannot be converted; an internal sender needs the SMTP address).
std::string NoSenderReason(const msg::Message& m) {
  constexpr char kPrefix[] = "Sender has no Internet mail address";
  const msg::Address* known = nullptr;
  for (const msg::Address* group : {&m.sender, &m.sent_representing}) {
    if (!known && (!group->address.empty() || !group->name.empty())) known = group;
  }
  if (known == nullptr) return std::string(kPrefix) + " (the item has no sender: an unsent draft)";
  const std::string who = RemoveNuls(known->name.empty() ? known->address : known->name);
  if (known->address_type == "EX") {
    return std::string(kPrefix) + " (\"" + who + "\" has only an Exchange address and the file holds no SMTP address)";
  }
  if (known->address.empty()) return std::string(kPrefix) + " (\"" + who + "\" has no address)";
  return std::string(kPrefix) + " (\"" + RemoveNuls(known->address) + "\" is not an Internet mail address)";
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
  const std::string smtp = RemoveNuls(address.smtp_address);
  if (mime::IsMailAddress(smtp)) return smtp;
  const std::string own = RemoveNuls(address.address);
  const bool smtp_type = EqualsIgnoreCase(address.address_type, "SMTP");
  // Some writers leave the type empty for plain Internet addresses.
  const bool looks_smtp = address.address_type.empty() && own.find('/') == std::string::npos;
  if ((smtp_type || looks_smtp) && mime::IsMailAddress(own)) return own;
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
  if (auto owner = InternetAddress(m.sent_representing); owner && from && !EqualsIgnoreCase(*owner, from->address)) {
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

  for (const msg::Recipient& r : m.recipients) {
    // Resend flags (0x10000000, 0x80000000) may be OR-ed into the type.
    const uint32_t type = static_cast<uint32_t>(r.type) & 0xFF;
    if (type < 1 || type > 3) continue;
    std::optional<std::string> address = InternetAddress(r);
    if (!address) address = AddressFromHeaders(m, r, type);
    if (!address) {
      if (!top_level) continue;
      const std::string who = !r.name.empty() ? r.name : r.address;
      return MakeError(ErrorCode::kBadAddress, 0, "Recipient \"" + who + "\" has no Internet mail address");
    }
    out.lists[type - 1].push_back({RemoveNuls(r.name), *address});
  }
  return out;
}

}  // namespace formats::eml
