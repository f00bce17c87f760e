// Resource limits for one conversion. Each says how it was chosen; every one is
// enforced where the structure is read, so a hostile file costs at most these.
#pragma once

#include <cstdint>

namespace formats::limits {

// Largest input accepted. Outlook does not save items above 2 GB, so a real
// message stays well below this; the cap leaves twice that for files from other
// writers and bounds what one conversion maps.
inline constexpr uint64_t kMaxInputBytes = 4ull << 30;

// Embedded messages nest at most this deep. Real mail rarely goes beyond 4-5
// levels of forwarded items; 16 leaves room and keeps recursion shallow.
inline constexpr int kMaxEmbeddingDepth = 16;

// Directory depth of the compound file tree (storages inside storages). Each
// embedded message adds about two levels.
inline constexpr int kMaxStorageDepth = 64;

// Directory entries of a compound file. A message with the most recipients and
// attachments the format allows (2048 each, ~15 streams apiece) needs about 60 000;
// 2^20 leaves room for embedded messages and keeps the parsed directory (about
// 200 bytes an entry) within a few hundred MB however large the file.
inline constexpr uint32_t kMaxDirectoryEntries = 1u << 20;

// Recipient and attachment storages per message: the .msg format allows 2048 of each.
inline constexpr uint32_t kMaxRecipients = 2048;
inline constexpr uint32_t kMaxAttachments = 2048;

// Decompressed RTF may be at most this large. Compressed RTF compresses at most
// ~8:1 in practice (a 2-byte token expands to 17 bytes); bodies above 64 MB are
// not plausible mail and would only cost memory.
inline constexpr uint32_t kMaxRtfBytes = 64u << 20;

// RTF groups nest at most this deep; deeper groups are read as part of their
// parent, so the group state stack stays small. Word and Outlook nest a few
// dozen levels at most (tables in lists in fields).
inline constexpr int kMaxRtfGroupDepth = 256;

// HTML rendered from RTF may be at most this large. Markup can outweigh the text
// it wraps several times over, so this is a multiple of kMaxRtfBytes.
inline constexpr uint64_t kMaxRtfHtmlBytes = 4ull * kMaxRtfBytes;

// A string property larger than this is not text anyone wrote; reading it fails
// with kLimitExceeded instead of truncating it.
inline constexpr uint64_t kMaxStringPropertyBytes = 64ull << 20;

// A property stream holds 16 bytes per property; an item with every property
// MAPI defines would still need far less than 1 MB.
inline constexpr uint64_t kMaxPropertyStreamBytes = 1u << 20;

// An entry id is at most a few hundred bytes (a one-off id holds three short
// strings); a larger blob in an entry id property is not read.
inline constexpr uint64_t kMaxEntryIdBytes = 64u << 10;

// A stored Internet header block carried into the result is read this far.
// The trace of a message that crossed many servers and filters runs to some
// tens of KB (the corpus's longest block is under 5 KB); beyond 256 KB the rest
// is left out.
inline constexpr uint64_t kMaxStoredHeaderBytes = 256u << 10;

// Values of one multi-valued property. The one the converter reads, an item's
// categories, holds a handful; Outlook offers a few dozen at most.
inline constexpr uint32_t kMaxMultiValues = 4096;

// Calendar blobs of a meeting (recurrence pattern, time-zone definitions) read
// into memory. A pattern with kMaxRecurrenceExceptions changed occurrences, each
// with a subject and location of a few hundred characters in both of their
// forms, stays below 4 MB; a time-zone definition is at most about 68 KB.
inline constexpr uint64_t kMaxCalendarBlobBytes = 4u << 20;

// Deleted and changed occurrences of one recurring meeting: a daily meeting
// over ten years with every occurrence changed needs about 3650.
inline constexpr uint32_t kMaxRecurrenceExceptions = 4096;

// Rules of one time-zone definition: [MS-OXOCAL] allows at most 1024.
inline constexpr uint32_t kMaxTimeZoneRules = 1024;

}  // namespace formats::limits
