// Resource limits for one conversion. Each says how it was chosen; every one is
// enforced where the structure is read, so a hostile file costs at most these.
#pragma once

#include <cstdint>

namespace formats::limits {

// Largest input accepted. Outlook refuses to save items above 2 GB (PST/MSG
// size fields are 32-bit), so anything larger is not a real message.
inline constexpr uint64_t kMaxInputBytes = 4ull << 30;

// Embedded messages nest at most this deep. Real mail rarely goes beyond 4-5
// levels of forwarded items; 16 leaves room and keeps recursion shallow.
inline constexpr int kMaxEmbeddingDepth = 16;

// Directory depth of the compound file tree (storages inside storages). Each
// embedded message adds about two levels.
inline constexpr int kMaxStorageDepth = 64;

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

// A string property larger than this is not text anyone wrote; it is truncated
// reading as an error.
inline constexpr uint64_t kMaxStringPropertyBytes = 64ull << 20;

// A property stream holds 16 bytes per property; an item with every property
// MAPI defines would still need far less than 1 MB.
inline constexpr uint64_t kMaxPropertyStreamBytes = 1u << 20;

// An entry id is at most a few hundred bytes (a one-off id holds three short
// strings); a larger blob in an entry id property is not read.
inline constexpr uint64_t kMaxEntryIdBytes = 64u << 10;

}  // namespace formats::limits
