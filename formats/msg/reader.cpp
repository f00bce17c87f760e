#include "formats/msg/reader.h"

#include <algorithm>
#include <string_view>

#include "formats/common/ascii.h"
#include "formats/common/codepage.h"
#include "formats/common/limits.h"
#include "formats/msg/meeting.h"
#include "formats/msg/properties.h"
#include "formats/msg/report_properties.h"

namespace formats::msg {

namespace {

// Property ids ([MS-OXPROPS]).
constexpr uint16_t kImportance = 0x0017;
constexpr uint16_t kPriority = 0x0026;
constexpr uint16_t kSensitivity = 0x0036;
constexpr uint16_t kMessageClass = 0x001A;
constexpr uint16_t kSubject = 0x0037;
constexpr uint16_t kClientSubmitTime = 0x0039;
constexpr uint16_t kSubjectPrefix = 0x003D;
constexpr uint16_t kSentRepresentingEntryId = 0x0041;
constexpr uint16_t kSentRepresentingName = 0x0042;
constexpr uint16_t kReplyRecipientEntries = 0x004F;
constexpr uint16_t kReplyRecipientNames = 0x0050;
constexpr uint16_t kSentRepresentingAddressType = 0x0064;
constexpr uint16_t kSentRepresentingEmailAddress = 0x0065;
constexpr uint16_t kTransportMessageHeaders = 0x007D;
constexpr uint16_t kRecipientType = 0x0C15;
constexpr uint16_t kSenderEntryId = 0x0C19;
constexpr uint16_t kSenderName = 0x0C1A;
constexpr uint16_t kSenderAddressType = 0x0C1E;
constexpr uint16_t kSenderEmailAddress = 0x0C1F;
constexpr uint16_t kMessageDeliveryTime = 0x0E06;
constexpr uint16_t kNormalizedSubject = 0x0E1D;
constexpr uint16_t kEntryId = 0x0FFF;
constexpr uint16_t kBody = 0x1000;
constexpr uint16_t kRtfSyncBodyCount = 0x1007;
constexpr uint16_t kRtfSyncBodyTag = 0x1008;
constexpr uint16_t kRtfCompressed = 0x1009;
constexpr uint16_t kNativeBody = 0x1016;
constexpr uint16_t kRtfInSync = 0x0E1F;
constexpr uint16_t kRenderingPosition = 0x370B;
constexpr uint16_t kHtml = 0x1013;
constexpr uint16_t kInternetMessageId = 0x1035;
constexpr uint16_t kInternetReferences = 0x1039;
constexpr uint16_t kInReplyToId = 0x1042;
constexpr uint16_t kDisplayName = 0x3001;
constexpr uint16_t kAddressType = 0x3002;
constexpr uint16_t kEmailAddress = 0x3003;
constexpr uint16_t kCreationTime = 0x3007;
constexpr uint16_t kLastModificationTime = 0x3008;
constexpr uint16_t kAttachDataBinary = 0x3701;  // also PidTagAttachDataObject as PT_OBJECT
constexpr uint16_t kAttachExtension = 0x3703;
constexpr uint16_t kAttachFilename = 0x3704;
constexpr uint16_t kAttachMethod = 0x3705;
constexpr uint16_t kAttachLongFilename = 0x3707;
constexpr uint16_t kAttachPathname = 0x3708;
constexpr uint16_t kAttachLongPathname = 0x370D;
constexpr uint16_t kAttachMimeTag = 0x370E;
constexpr uint16_t kAttachContentId = 0x3712;
constexpr uint16_t kAttachContentLocation = 0x3713;
constexpr uint16_t kAttachFlags = 0x3714;
constexpr uint16_t kSmtpAddress = 0x39FE;
constexpr uint16_t kInternetCodepage = 0x3FDE;
constexpr uint16_t kMessageLocaleId = 0x3FF1;
constexpr uint16_t kCreatorName = 0x3FF8;
constexpr uint16_t kCreatorEntryId = 0x3FF9;
constexpr uint16_t kLastModifierName = 0x3FFA;
constexpr uint16_t kLastModifierEntryId = 0x3FFB;
constexpr uint16_t kMessageCodepage = 0x3FFD;
constexpr uint16_t kSenderSmtpAddress = 0x5D01;
constexpr uint16_t kSentRepresentingSmtpAddress = 0x5D02;
constexpr uint16_t kCreatorSmtpAddress = 0x5D0A;
constexpr uint16_t kLastModifierSmtpAddress = 0x5D0B;
constexpr uint16_t kRecipientDisplayName = 0x5FF6;
constexpr uint16_t kAttachmentHidden = 0x7FFE;

constexpr std::string_view kRecipientPrefix = "__recip_version1.0_#";
constexpr std::string_view kAttachmentPrefix = "__attach_version1.0_#";

// A code page that can describe 8-bit strings: known to the decoder, neither
// UTF-16 nor one of the 7-bit encodings (US-ASCII, ISO-2022, HZ, UTF-7) that
// items name as their Internet code page although their 8-bit strings are in
// the Windows code page of the author's locale.
bool UsableCodepage(std::optional<uint32_t> cp) {
  if (!cp || *cp == 0 || *cp == 1200 || *cp == 1201 || *cp == 20127 || *cp == 52936 || *cp == 65000 ||
      (*cp >= 50220 && *cp <= 50229)) {
    return false;
  }
  return CodepageCharsetName(*cp) != nullptr;
}

// The code pages a message's 8-bit strings are tried in, most trusted first:
// its own PidTagMessageCodepage, its PidTagInternetCodepage, the ANSI code page
// of its locale and the enclosing message's choice; Windows Latin when none is
// known. A multi-byte code page that fails on the bytes gives way to the next
// one; when all fail, valid UTF-8 is kept (see DecodeString8).
std::vector<uint32_t> StringCodepages(const PropertyBag& bag, uint32_t parent_codepage) {
  std::vector<uint32_t> cps;
  auto add = [&cps](std::optional<uint32_t> cp) {
    if (UsableCodepage(cp) && std::find(cps.begin(), cps.end(), *cp) == cps.end()) cps.push_back(*cp);
  };
  add(bag.GetLong(kMessageCodepage));
  add(bag.GetLong(kInternetCodepage));
  if (std::optional<uint32_t> lcid = bag.GetLong(kMessageLocaleId)) add(LcidToAnsiCodepage(*lcid));
  add(parent_codepage);
  if (cps.empty()) cps.push_back(1252);
  return cps;
}

// Reads a string property into `out`, leaving it unchanged when absent.
Status ReadString(const PropertyBag& bag, uint16_t id, std::span<const uint32_t> codepages, std::string& out) {
  Result<std::optional<std::string>> value = bag.GetString(id, codepages);
  if (!value) return std::move(value).error();
  if (*value) out = std::move(**value);
  return {};
}

std::optional<StreamRef> StreamOf(const PropertyBag& bag, uint16_t id, uint16_t type) {
  std::optional<cfb::EntryId> e = bag.FindStream(id, type);
  if (!e) return std::nullopt;
  return StreamRef(&bag.file(), *e, bag.file().entry(*e).size);
}

// Property ids of one address group; 0 where the group has no such property
// (the creator and the last modifier are known by entry id only).
struct AddressIds {
  uint16_t name, address, address_type, smtp_address, entry_id;
};

// Fills one address group. The SMTP address comes from the dedicated property,
// else from a one-off entry id whose address type is SMTP. A group without an
// address of its own takes the DN of an Exchange entry id, as type "EX".
Status ReadAddress(const PropertyBag& bag, const AddressIds& ids, std::span<const uint32_t> cps, Address& out) {
  for (const auto& [id, text] : {std::pair{ids.name, &out.name}, std::pair{ids.address, &out.address},
                                 std::pair{ids.address_type, &out.address_type},
                                 std::pair{ids.smtp_address, &out.smtp_address}}) {
    if (id == 0) continue;
    if (Status s = ReadString(bag, id, cps, *text); !s) return s;
  }
  std::optional<cfb::EntryId> entry_id_stream = bag.FindStream(ids.entry_id, kPtBinary);
  // An entry id is a few hundred bytes; a larger one is not a one-off entry id
  // and is skipped rather than read.
  if ((out.smtp_address.empty() || out.address.empty()) && entry_id_stream &&
      bag.file().entry(*entry_id_stream).size <= limits::kMaxEntryIdBytes) {
    Result<std::optional<std::vector<uint8_t>>> entry_id = bag.GetBinary(ids.entry_id, limits::kMaxEntryIdBytes);
    if (!entry_id) return std::move(entry_id).error();
    if (*entry_id) {
      std::optional<OneOffEntryId> one_off = ParseOneOffEntryId(**entry_id, cps.front());
      if (one_off && EqualsIgnoreCase(one_off->address_type, "SMTP") && out.smtp_address.empty()) {
        out.smtp_address = one_off->address;
        out.smtp_from_entry_id = true;
      }
      std::optional<std::string> dn = ParseExchangeEntryId(**entry_id);
      if (dn && out.address.empty()) {
        out.address = std::move(*dn);
        out.address_type = "EX";
      }
    }
  }
  return {};
}

// The reply recipients of an item. A list that does not parse is left out with
// a warning: it is content, and the item reads without it.
Status ReadReplyRecipients(const PropertyBag& bag, std::span<const uint32_t> cps, Message& m) {
  Result<std::optional<std::vector<uint8_t>>> list = bag.GetBinary(kReplyRecipientEntries, limits::kMaxEntryIdBytes);
  if (!list) {
    if (list.error().code != ErrorCode::kLimitExceeded) return std::move(list).error();
    m.warnings.push_back("reply recipient list larger than any entry list; left out");
    return {};
  }
  if (!*list) return {};
  std::optional<std::vector<Bytes>> entries = ParseFlatEntryList(**list);
  if (!entries) {
    m.warnings.push_back("reply recipient list does not fit its sizes; left out");
    return {};
  }
  std::string names;
  if (Status s = ReadString(bag, kReplyRecipientNames, cps, names); !s) return s;
  std::vector<std::string_view> name_list;
  for (size_t start = 0; start <= names.size();) {
    const size_t end = std::min(names.find(';', start), names.size());
    name_list.push_back(std::string_view(names).substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = 0; i < entries->size(); ++i) {
    std::optional<OneOffEntryId> one_off = ParseOneOffEntryId((*entries)[i], cps.front());
    if (!one_off) continue;
    Address a;
    a.name = one_off->display_name;
    if (a.name.empty() && i < name_list.size()) {
      std::string_view n = name_list[i];
      while (!n.empty() && n.front() == ' ') n.remove_prefix(1);
      a.name = std::string(n);
    }
    a.address = one_off->address;
    a.address_type = one_off->address_type;
    if (EqualsIgnoreCase(a.address_type, "SMTP")) a.smtp_address = a.address;
    m.reply_to.push_back(std::move(a));
  }
  return {};
}

// Child storages named prefix + hex number, sorted by the number: numbers may
// have gaps (deleted items), so the header counts are not used to find them.
Result<std::vector<cfb::EntryId>> NumberedStorages(const cfb::CompoundFile& file,
                                                   cfb::EntryId storage,
                                                   std::string_view prefix,
                                                   uint32_t limit,
                                                   std::vector<std::string>& warnings) {
  std::vector<std::pair<uint64_t, cfb::EntryId>> found;
  for (cfb::EntryId id : file.Children(storage)) {
    const cfb::DirectoryEntry& e = file.entry(id);
    if (!e.is_storage() || e.name.size() < prefix.size() ||
        !cfb::NamesEqual(std::string_view(e.name).substr(0, prefix.size()), prefix)) {
      continue;
    }
    if (found.size() == limit) {
      return MakeError(ErrorCode::kLimitExceeded, 0,
                       "more than " + std::to_string(limit) + " storages named " + std::string(prefix));
    }
    std::string_view digits = std::string_view(e.name).substr(prefix.size());
    uint64_t number = 0;
    bool valid = !digits.empty() && digits.size() <= 8;
    for (char c : digits) {
      const int v = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                             : -1;
      if (v < 0) valid = false;
      number = number * 16 + (v < 0 ? 0 : v);
    }
    if (!valid) {
      // Kept, after the well-numbered ones, in tree order.
      warnings.push_back("storage \"" + e.name + "\" has no valid number");
      number = (1ull << 32) + found.size();
    }
    found.emplace_back(number, id);
  }
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<cfb::EntryId> ids;
  ids.reserve(found.size());
  for (const auto& f : found) ids.push_back(f.second);
  return ids;
}

Result<Message> ReadItem(const cfb::CompoundFile& file,
                         const NamedProperties& named,
                         cfb::EntryId storage,
                         size_t header_size,
                         int depth,
                         uint32_t parent_codepage);

Result<Recipient> ReadRecipient(const cfb::CompoundFile& file,
                                cfb::EntryId storage,
                                std::span<const uint32_t> cps,
                                std::vector<std::string>& warnings) {
  Result<PropertyBag> bag = PropertyBag::Read(file, storage, kChildHeaderSize);
  if (!bag) return std::move(bag).error();
  warnings.insert(warnings.end(), bag->warnings().begin(), bag->warnings().end());
  Recipient r;
  if (Status s = ReadAddress(*bag, {kDisplayName, kEmailAddress, kAddressType, kSmtpAddress, kEntryId}, cps, r); !s) {
    return std::move(s).error();
  }
  if (r.name.empty()) {
    if (Status s = ReadString(*bag, kRecipientDisplayName, cps, r.name); !s) return std::move(s).error();
  }
  // The type is kept as stored, flags included; the composer decides what they mean.
  if (std::optional<uint32_t> type = bag->GetLong(kRecipientType)) {
    r.type = static_cast<int32_t>(*type);
  } else {
    warnings.push_back("recipient \"" + file.entry(storage).name + "\" has no type; taken as To");
  }
  return r;
}

// A display name as a file name: a display name often leaves out the
// extension the file names carry, and a saved file needs it.
std::string DisplayFileName(const std::string& display, const std::string& extension, const std::string& short_name) {
  if (display.find('.') != std::string::npos) return display;
  std::string_view ext = extension;
  if (ext.empty() || ext.front() != '.') {
    const size_t dot = short_name.rfind('.');
    ext = dot == std::string::npos ? std::string_view() : std::string_view(short_name).substr(dot);
  }
  if (ext.size() < 2 || ext.size() > 16 || ext.find_first_of("?/\\") != std::string_view::npos) return display;
  return display + std::string(ext);
}

Result<Attachment> ReadAttachment(const cfb::CompoundFile& file,
                                  const NamedProperties& named,
                                  cfb::EntryId storage,
                                  int depth,
                                  std::span<const uint32_t> cps,
                                  std::vector<std::string>& warnings) {
  Result<PropertyBag> bag = PropertyBag::Read(file, storage, kChildHeaderSize);
  if (!bag) return std::move(bag).error();
  warnings.insert(warnings.end(), bag->warnings().begin(), bag->warnings().end());
  Attachment a;
  a.storage = storage;
  struct {
    uint16_t id;
    std::string* out;
  } const strings[] = {
      {kAttachLongFilename, &a.long_filename},
      {kAttachFilename, &a.short_filename},
      {kDisplayName, &a.display_name},
      {kAttachExtension, &a.extension},
      {kAttachMimeTag, &a.mime_tag},
      {kAttachContentId, &a.content_id},
      {kAttachContentLocation, &a.content_location},
      {kAttachLongPathname, &a.pathname},
  };
  for (const auto& s : strings) {
    if (Status st = ReadString(*bag, s.id, cps, *s.out); !st) return std::move(st).error();
  }
  if (a.pathname.empty()) {
    if (Status s = ReadString(*bag, kAttachPathname, cps, a.pathname); !s) return std::move(s).error();
  }
  // The 8.3 short name is a lossy copy (other scripts become "?"), so the name
  // the user saw comes before it.
  a.filename = !a.long_filename.empty()  ? a.long_filename
               : !a.display_name.empty() ? DisplayFileName(a.display_name, a.extension, a.short_filename)
                                         : a.short_filename;
  if (std::optional<uint32_t> method = bag->GetLong(kAttachMethod)) a.method = static_cast<AttachMethod>(*method);
  a.flags = bag->GetLong(kAttachFlags).value_or(0);
  a.rendering_position = bag->GetLong(kRenderingPosition);
  a.hidden = bag->GetBool(kAttachmentHidden).value_or(false);
  a.creation_time = bag->GetTime(kCreationTime);
  a.modification_time = bag->GetTime(kLastModificationTime);
  a.data = StreamOf(*bag, kAttachDataBinary, kPtBinary);

  if (std::optional<cfb::EntryId> object = bag->FindStorage(kAttachDataBinary, kPtObject)) {
    if (a.method == AttachMethod::kEmbeddedMessage) {
      Result<Message> embedded = ReadItem(file, named, *object, kEmbeddedHeaderSize, depth + 1, cps.front());
      if (!embedded) return std::move(embedded).error();
      a.embedded = std::make_unique<Message>(std::move(*embedded));
    } else {
      a.object_storage = *object;
    }
  } else if (a.method == AttachMethod::kEmbeddedMessage) {
    warnings.push_back("embedded-message attachment \"" + file.entry(storage).name + "\" has no message storage");
  }
  return a;
}

Result<Message> ReadItem(const cfb::CompoundFile& file,
                         const NamedProperties& named,
                         cfb::EntryId storage,
                         size_t header_size,
                         int depth,
                         uint32_t parent_codepage) {
  if (depth > limits::kMaxEmbeddingDepth) {
    return MakeError(ErrorCode::kLimitExceeded, 0,
                     "messages embedded more than " + std::to_string(limits::kMaxEmbeddingDepth) + " levels deep");
  }
  Result<PropertyBag> bag_result = PropertyBag::Read(file, storage, header_size);
  if (!bag_result) return std::move(bag_result).error();
  const PropertyBag& bag = *bag_result;

  Message m;
  m.storage = storage;
  m.depth = depth;
  m.warnings = bag.warnings();
  m.internet_codepage = bag.GetLong(kInternetCodepage).value_or(0);
  m.message_codepage = bag.GetLong(kMessageCodepage).value_or(0);
  const std::vector<uint32_t> string_cps = StringCodepages(bag, parent_codepage);
  m.string_codepage = string_cps.front();
  // PidTagInternetCodepage names the code page of the bodies; the strings' code
  // pages are the fallback when the body's bytes do not fit it.
  std::vector<uint32_t> body_cps = string_cps;
  body_cps.insert(body_cps.begin(), m.internet_codepage);

  struct {
    uint16_t id;
    std::string* out;
  } const strings[] = {
      {kMessageClass, &m.message_class},
      {kSubject, &m.subject},
      {kInternetMessageId, &m.internet_message_id},
      {kInReplyToId, &m.in_reply_to},
      {kInternetReferences, &m.references},
      {kTransportMessageHeaders, &m.transport_headers},
  };
  for (const auto& s : strings) {
    if (Status st = ReadString(bag, s.id, string_cps, *s.out); !st) return std::move(st).error();
  }
  if (m.subject.empty()) {
    // Some writers store only the parts of the subject.
    std::string prefix, normalized;
    if (Status s = ReadString(bag, kSubjectPrefix, string_cps, prefix); !s) return std::move(s).error();
    if (Status s = ReadString(bag, kNormalizedSubject, string_cps, normalized); !s) return std::move(s).error();
    m.subject = prefix + normalized;
  }

  if (Status s =
          ReadAddress(bag, {kSenderName, kSenderEmailAddress, kSenderAddressType, kSenderSmtpAddress, kSenderEntryId},
                      string_cps, m.sender);
      !s) {
    return std::move(s).error();
  }
  if (std::optional<uint16_t> id = named.Find(NamedProperties::kInternetHeaders, "Content-Type")) {
    if (Status st = ReadString(bag, *id, string_cps, m.internet_content_type); !st) return std::move(st).error();
  }

  if (Status s = ReadAddress(bag,
                             {kSentRepresentingName, kSentRepresentingEmailAddress, kSentRepresentingAddressType,
                              kSentRepresentingSmtpAddress, kSentRepresentingEntryId},
                             string_cps, m.sent_representing);
      !s) {
    return std::move(s).error();
  }

  // Who created and who last changed the item: an Exchange DN beside an SMTP
  // address, which may name the sender or a recipient known only by DN.
  if (Status s = ReadAddress(bag, {kCreatorName, 0, 0, kCreatorSmtpAddress, kCreatorEntryId}, string_cps, m.creator);
      !s) {
    return std::move(s).error();
  }
  if (Status s = ReadAddress(bag, {kLastModifierName, 0, 0, kLastModifierSmtpAddress, kLastModifierEntryId},
                             string_cps, m.last_modifier);
      !s) {
    return std::move(s).error();
  }

  Result<std::optional<std::string>> body = bag.GetString(kBody, body_cps);
  if (!body) return std::move(body).error();
  m.body = std::move(*body);

  // HTML: the binary form keeps the bytes as written (their charset is the
  // internet code page or a <meta> inside); the string forms are decoded here.
  Result<std::optional<std::vector<uint8_t>>> html = bag.GetBinary(kHtml, limits::kMaxStringPropertyBytes);
  if (!html) return std::move(html).error();
  if (*html) {
    m.html = std::string((*html)->begin(), (*html)->end());
  } else {
    Result<std::optional<std::string>> html_text = bag.GetString(kHtml, body_cps);
    if (!html_text) return std::move(html_text).error();
    if (*html_text) {
      m.html = std::move(**html_text);
      m.html_is_utf8 = true;
    }
  }
  m.rtf_compressed = StreamOf(bag, kRtfCompressed, kPtBinary);
  m.rtf_in_sync = bag.GetBool(kRtfInSync);
  m.native_body = bag.GetLong(kNativeBody);
  m.rtf_sync_body_count = bag.GetLong(kRtfSyncBodyCount);
  // Only a hint for choosing the body: an unreadable tag is left out.
  if (Result<std::optional<std::string>> tag = bag.GetString(kRtfSyncBodyTag, string_cps); tag && *tag) {
    m.rtf_sync_body_tag = std::move(**tag);
  }

  m.client_submit_time = bag.GetTime(kClientSubmitTime);
  m.delivery_time = bag.GetTime(kMessageDeliveryTime);
  m.creation_time = bag.GetTime(kCreationTime);
  if (std::optional<uint32_t> importance = bag.GetLong(kImportance)) m.importance = static_cast<int32_t>(*importance);
  m.priority = static_cast<int32_t>(bag.GetLong(kPriority).value_or(0));
  m.locale_id = bag.GetLong(kMessageLocaleId);
  m.sensitivity = static_cast<int32_t>(bag.GetLong(kSensitivity).value_or(0));
  if (std::optional<uint16_t> id = named.Find(NamedProperties::kPublicStrings, "Keywords")) {
    Result<std::vector<std::string>> keywords = bag.GetStrings(*id, string_cps);
    if (!keywords) return std::move(keywords).error();
    m.categories = std::move(*keywords);
  }
  if (Status s = ReadReplyRecipients(bag, string_cps, m); !s) return std::move(s).error();

  Result<std::vector<cfb::EntryId>> recipients =
      NumberedStorages(file, storage, kRecipientPrefix, limits::kMaxRecipients, m.warnings);
  if (!recipients) return std::move(recipients).error();
  m.recipients.reserve(recipients->size());
  for (cfb::EntryId id : *recipients) {
    Result<Recipient> r = ReadRecipient(file, id, string_cps, m.warnings);
    if (!r) return std::move(r).error();
    m.recipients.push_back(std::move(*r));
  }
  ReadMailExtras(bag, named, string_cps, *recipients, m);

  Result<std::vector<cfb::EntryId>> attachments =
      NumberedStorages(file, storage, kAttachmentPrefix, limits::kMaxAttachments, m.warnings);
  if (!attachments) return std::move(attachments).error();
  m.attachments.reserve(attachments->size());
  for (cfb::EntryId id : *attachments) {
    Result<Attachment> a = ReadAttachment(file, named, id, depth, string_cps, m.warnings);
    if (!a) return std::move(a).error();
    m.attachments.push_back(std::move(*a));
  }
  if (Status s = ReadMeeting(bag, named, string_cps, m); !s) return std::move(s).error();
  return m;
}

}  // namespace

Result<Message> ReadMessage(const cfb::CompoundFile& file) {
  Result<NamedProperties> named = NamedProperties::Read(file);
  if (!named) return std::move(named).error();
  Result<Message> m = ReadItem(file, *named, cfb::kRootEntry, kTopLevelHeaderSize, 0, 0);
  if (m) m->warnings.insert(m->warnings.begin(), file.warnings().begin(), file.warnings().end());
  return m;
}

Result<Message> ReadEmbeddedMessage(const cfb::CompoundFile& file,
                                    cfb::EntryId storage,
                                    int depth,
                                    uint32_t parent_codepage) {
  Result<NamedProperties> named = NamedProperties::Read(file);
  if (!named) return std::move(named).error();
  return ReadItem(file, *named, storage, kEmbeddedHeaderSize, depth, parent_codepage);
}

Status StreamRef::ForEachChunk(const std::function<bool(std::span<const uint8_t>)>& sink) const {
  if (file_ == nullptr) return {};
  return file_->ForEachChunk(entry_, sink);
}

Result<std::vector<uint8_t>> StreamRef::ReadAll(uint64_t max_bytes) const {
  if (file_ == nullptr) return std::vector<uint8_t>();
  return file_->ReadStream(entry_, max_bytes);
}

}  // namespace formats::msg
