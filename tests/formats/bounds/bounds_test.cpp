// The cost of one conversion is bounded by the input, whatever the input claims:
// sizes far beyond the file cost nothing, looping chains end in an error after at
// most a walk over the file, and nesting beyond the limit fails with a clear line.
//
// Memory is measured by counting every operator new of this test program while
// the whole conversion (open, read, compose, write into a counting sink) runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "converter_tool/run.h"
#include "formats/cfb/compound_file.h"
#include "formats/common/limits.h"
#include "formats/eml/compose.h"
#include "formats/mime/entity.h"
#include "formats/msg/content.h"
#include "formats/msg/reader.h"
#include "formats/rtf/rtf.h"
#include "tools/msg_fixture/msg_writer.h"

// --- Allocation accounting ---------------------------------------------------------

namespace {

std::atomic<uint64_t> g_live{0};
std::atomic<uint64_t> g_peak{0};

// Each block carries its size in front, so that unsized delete can subtract it.
constexpr size_t kHeader = alignof(std::max_align_t);

void* CountedNew(size_t size) {
  void* p = std::malloc(size + kHeader);
  if (p == nullptr) throw std::bad_alloc();
  *static_cast<size_t*>(p) = size;
  const uint64_t live = g_live += size;
  uint64_t peak = g_peak.load();
  while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
  }
  return static_cast<char*>(p) + kHeader;
}

void CountedDelete(void* p) {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - kHeader;
  g_live -= *static_cast<size_t*>(block);
  std::free(block);
}

}  // namespace

void* operator new(size_t size) { return CountedNew(size); }
void* operator new[](size_t size) { return CountedNew(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return CountedNew(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { CountedDelete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { CountedDelete(p); }
void operator delete(void* p) noexcept { CountedDelete(p); }
void operator delete[](void* p) noexcept { CountedDelete(p); }
void operator delete(void* p, size_t) noexcept { CountedDelete(p); }
void operator delete[](void* p, size_t) noexcept { CountedDelete(p); }

namespace {

using formats::ErrorCode;
using msg_fixture::CompoundImage;
using msg_fixture::FixtureAttachment;
using msg_fixture::FixtureMessage;

class CountingSink : public formats::mime::Sink {
 public:
  formats::Status Write(std::string_view bytes) override {
    written += bytes.size();
    return {};
  }
  uint64_t written = 0;
};

struct Outcome {
  std::optional<ErrorCode> error;  // nullopt: the .eml was written
  std::string detail;
  uint64_t peak_bytes = 0;  // most heap in use at once during the conversion
  uint64_t output_bytes = 0;
  double seconds = 0;
};

// The tool's conversion, in memory.
formats::Status ConvertInMemory(const std::vector<uint8_t>& bytes, CountingSink& sink) {
  formats::Result<formats::cfb::CompoundFile> file = formats::cfb::CompoundFile::Open(bytes);
  if (!file) return std::move(file).error();
  formats::Result<formats::msg::Message> item = formats::msg::ReadMessage(*file);
  if (!item) return std::move(item).error();
  formats::msg::CompoundFileContent content(*file);
  formats::eml::ComposeOptions options;
  options.now = [] { return int64_t{1700000000}; };
  options.random_hex = [] { return std::string(32, '0'); };
  formats::Result<formats::mime::Message> tree = formats::eml::ComposeMessage(*item, content, options);
  if (!tree) return std::move(tree).error();
  return formats::mime::WriteMessage(*tree, sink);
}

Outcome Convert(const std::vector<uint8_t>& bytes) {
  Outcome out;
  CountingSink sink;
  const uint64_t before = g_live.load();
  g_peak = before;
  const auto start = std::chrono::steady_clock::now();
  formats::Status st = ConvertInMemory(bytes, sink);
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  out.peak_bytes = g_peak.load() - before;
  out.output_bytes = sink.written;
  if (!st) {
    out.error = st.error().code;
    out.detail = st.error().detail;
  }
  return out;
}

std::vector<uint8_t> Bytes(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// A small mail: sender, one recipient, text and HTML bodies, a compressed RTF
// body, and a 3000-byte attachment (in the mini stream) and a 6000-byte one.
FixtureMessage SmallMail() {
  FixtureMessage m;
  m.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, "Bounds").Unicode(0x1000, "Body text\r\n");
  m.props.Binary(0x1013, Bytes("<html><body><p>Body</p></body></html>"));
  // "MELA": stored RTF, 26 bytes.
  std::vector<uint8_t> rtf = {38, 0, 0, 0, 26, 0, 0, 0, 'M', 'E', 'L', 'A', 0, 0, 0, 0};
  for (char c : std::string_view("{\\rtf1\\ansi Hello world.}")) rtf.push_back(static_cast<uint8_t>(c));
  rtf.push_back('\0');
  m.props.Binary(0x1009, rtf);
  msg_fixture::SetSmtpSender(m.props, "Ann", "ann@example.com");
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Bob", "bob@example.org"));
  m.attachments.push_back(msg_fixture::FileAttachment("small.bin", "application/octet-stream",
                                                      std::vector<uint8_t>(3000, 0x5A)));
  m.attachments.push_back(msg_fixture::FileAttachment("large.bin", "application/octet-stream",
                                                      std::vector<uint8_t>(6000, 0xA5)));
  return m;
}

constexpr char kSmallData[] = "__attach_version1.0_#00000000/__substg1.0_37010102";
constexpr char kLargeData[] = "__attach_version1.0_#00000001/__substg1.0_37010102";

// --- Sizes that the file cannot back ------------------------------------------------

TEST(BoundsTest, SizesClaimedBeyondTheFileCostNoMoreThanTheFile) {
  struct Row {
    const char* name;
    int version;
    std::string path;  // "" for the root entry, whose size is the mini stream's
    uint64_t size;
    std::optional<ErrorCode> want;  // nullopt: converts anyway (the claim is not needed)
  };
  const uint64_t k4G = 4ull << 30;
  const Row rows[] = {
      {"attachment_4g_v3", 3, kLargeData, 0xFFFFFFFF, ErrorCode::kBadStream},
      {"attachment_4g_v4", 4, kLargeData, k4G, ErrorCode::kBadStream},
      {"attachment_2p63_v4", 4, kLargeData, 1ull << 63, ErrorCode::kBadStream},
      {"mini_attachment_claims_4g", 4, kSmallData, k4G, ErrorCode::kBadStream},
      {"body_string_4g", 4, "__substg1.0_1000001F", k4G, ErrorCode::kBadStream},
      {"html_4g", 4, "__substg1.0_10130102", k4G, ErrorCode::kBadStream},
      {"compressed_rtf_4g", 4, "__substg1.0_10090102", k4G, std::nullopt},
      {"property_stream_4g", 4, "__properties_version1.0", k4G, ErrorCode::kBadStream},
      {"mini_stream_4g", 4, "", k4G, ErrorCode::kBadStream},
  };
  const Outcome intact[2] = {Convert(msg_fixture::WriteMsg(SmallMail(), {.version = 3}).bytes),
                             Convert(msg_fixture::WriteMsg(SmallMail(), {.version = 4}).bytes)};
  for (const Outcome& out : intact) ASSERT_FALSE(out.error) << out.detail;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CompoundImage img = msg_fixture::WriteMsg(SmallMail(), {.version = row.version});
    const std::optional<uint32_t> id = row.path.empty() ? 0u : img.EntryId(row.path);
    ASSERT_TRUE(id);
    img.SetEntrySize(*id, row.size);
    const Outcome out = Convert(img.bytes);
    if (row.want) {
      ASSERT_TRUE(out.error);
      EXPECT_EQ(*out.error, *row.want) << out.detail;
    } else {
      EXPECT_FALSE(out.error) << out.detail;
    }
    // The claim costs nothing: no more is held at once than when converting the
    // intact file, which is itself below the file's size plus the writer's fixed
    // 64 KB output block.
    const Outcome& base = intact[row.version == 3 ? 0 : 1];
    EXPECT_LE(out.peak_bytes, base.peak_bytes + 1024) << "intact file: " << base.peak_bytes;
    EXPECT_LE(base.peak_bytes, img.bytes.size() + (64u << 10)) << "file of " << img.bytes.size() << " bytes";
  }
}

TEST(BoundsTest, CompressedRtfClaimingTheLargestBodyAllocatesNothingForIt) {
  // A 30-byte compressed RTF whose header promises kMaxRtfBytes (and one past it):
  // the claim is checked against what the data could produce before any buffer
  // is made, and the message converts without the unusable body.
  struct Row {
    uint32_t raw_size;
    ErrorCode want;
  };
  const Row rows[] = {{formats::limits::kMaxRtfBytes, ErrorCode::kBadRtf},
                      {formats::limits::kMaxRtfBytes + 1, ErrorCode::kLimitExceeded}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.raw_size);
    std::vector<uint8_t> rtf = {26, 0, 0, 0, 0, 0, 0, 0, 'L', 'Z', 'F', 'u', 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) rtf[4 + i] = static_cast<uint8_t>(row.raw_size >> (8 * i));
    rtf.resize(30, 0);  // all-zero data has CRC 0, as the header says

    g_peak = g_live.load();
    const uint64_t before = g_live.load();
    formats::Result<std::string> direct = formats::rtf::Decompress(rtf);
    ASSERT_FALSE(direct);
    EXPECT_EQ(direct.error().code, row.want) << direct.error().detail;
    EXPECT_LE(g_peak.load() - before, 1024u);

    // The same body as the only body of a message (no HTML, no text).
    FixtureMessage m;
    m.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, "RTF claim").Binary(0x1009, rtf);
    msg_fixture::SetSmtpSender(m.props, "Ann", "ann@example.com");
    m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Bob", "bob@example.org"));
    CompoundImage img = msg_fixture::WriteMsg(m);
    const Outcome out = Convert(img.bytes);
    EXPECT_FALSE(out.error) << out.detail;
    EXPECT_LE(out.peak_bytes, img.bytes.size() + (64u << 10));
  }
}

// --- Chains that loop ---------------------------------------------------------------

// A message whose 16 MB attachment makes every regular chain walk long; the
// directory spans several sectors and 3 KB attachments fill the MiniFAT chain.
CompoundImage LargeMail(uint32_t extra_fat_sectors = 0) {
  FixtureMessage m = SmallMail();
  m.attachments.push_back(msg_fixture::FileAttachment("big.bin", "application/octet-stream",
                                                      std::vector<uint8_t>(16u << 20, 0x11)));
  for (int i = 0; i < 40; ++i) {
    m.attachments.push_back(msg_fixture::FileAttachment("f" + std::to_string(i) + ".txt", "text/plain",
                                                        std::vector<uint8_t>(3000, 'a' + i % 26)));
  }
  return msg_fixture::WriteMsg(m, {.version = 3, .extra_fat_sectors = extra_fat_sectors});
}

TEST(BoundsTest, LoopingChainsEndInAnErrorAfterOneWalkOverTheFile) {
  struct Row {
    const char* name;
    void (*damage)(CompoundImage&);
    ErrorCode want;
  };
  const Row rows[] = {
      {"stream_chain_back_to_its_start",
       [](CompoundImage& img) {
         const uint32_t id = *img.EntryId("__attach_version1.0_#00000002/__substg1.0_37010102");
         const uint32_t first = img.entry_starts[id];
         const uint32_t last = first + (16u << 20) / img.sector_size - 1;  // chains are consecutive
         img.SetFatEntry(last - 1, first);
       },
       ErrorCode::kChainLoop},
      {"stream_chain_onto_itself",
       [](CompoundImage& img) {
         const uint32_t id = *img.EntryId("__attach_version1.0_#00000002/__substg1.0_37010102");
         img.SetFatEntry(img.entry_starts[id], img.entry_starts[id]);
       },
       ErrorCode::kChainLoop},
      {"directory_chain_back_to_its_start",
       [](CompoundImage& img) { img.SetFatEntry(img.directory_sectors.back(), img.directory_sectors.front()); },
       ErrorCode::kChainLoop},
      {"minifat_chain_back_to_its_start",
       [](CompoundImage& img) { img.SetFatEntry(img.minifat_sectors.back(), img.minifat_sectors.front()); },
       ErrorCode::kChainLoop},
      {"mini_stream_chain_back_to_its_start",
       [](CompoundImage& img) {
         // The last sector's link is past the stream's size and never followed.
         img.SetFatEntry(img.mini_stream_sectors.end()[-2], img.mini_stream_sectors.front());
       },
       ErrorCode::kChainLoop},
      {"mini_chain_onto_itself",
       [](CompoundImage& img) {
         const uint32_t id = *img.EntryId("__attach_version1.0_#00000003/__substg1.0_37010102");
         img.SetMiniFatEntry(img.entry_starts[id] + 1, img.entry_starts[id]);
       },
       ErrorCode::kChainLoop},
      {"difat_chain_onto_itself",
       [](CompoundImage& img) {
         // The first DIFAT sector names itself as the next one.
         const uint32_t first = img.difat_sectors.front();
         img.SetU32(img.SectorOffset(first) + img.sector_size - 4, first);
       },
       ErrorCode::kChainLoop},
      {"sibling_tree_cycle",
       [](CompoundImage& img) {
         const uint32_t a = *img.EntryId("__attach_version1.0_#00000000");
         img.SetEntryLink(a, msg_fixture::Link::kLeft, 0);
         img.SetEntryLink(a, msg_fixture::Link::kRight, a);
       },
       ErrorCode::kBadDirectory},
  };
  // Enough FAT sectors that the file carries a DIFAT chain (more than 109).
  const CompoundImage clean = LargeMail(/*extra_fat_sectors=*/120);
  ASSERT_GE(clean.difat_sectors.size(), 2u);
  ASSERT_GE(clean.directory_sectors.size(), 8u);
  ASSERT_GE(clean.minifat_sectors.size(), 1u);
  ASSERT_GE(clean.mini_stream_sectors.size(), 2u);
  const Outcome baseline = Convert(clean.bytes);
  ASSERT_FALSE(baseline.error) << baseline.detail;

  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CompoundImage img = clean;
    row.damage(img);
    const Outcome out = Convert(img.bytes);
    ASSERT_TRUE(out.error);
    EXPECT_EQ(*out.error, row.want) << out.detail;
    // No slower than converting the intact file (which walks every chain and
    // writes 22 MB of base64), with room for a loaded machine.
    EXPECT_LE(out.seconds, 2 * baseline.seconds + 0.5) << "intact file took " << baseline.seconds << " s";
    EXPECT_LE(out.peak_bytes, 2 * img.bytes.size());
  }
}

// --- Streams that share sectors ------------------------------------------------------

// Many directory entries may name one chain: each entry costs 128 bytes, the chain
// is paid for once. Read per entry, that multiplies memory (strings) or output
// (attachments) by the number of entries.
TEST(BoundsTest, EntriesSharingOneChainDoNotMultiplyOutputOrMemory) {
  constexpr int kCopies = 200;
  const std::vector<uint8_t> big(1u << 20, 0x42);
  struct Row {
    const char* name;
    bool embedded;  // true: bodies of embedded items; false: attachment data
  };
  for (const Row row : {Row{"attachment_data", false}, Row{"html_bodies_of_embedded_items", true}}) {
    SCOPED_TRACE(row.name);
    FixtureMessage m = SmallMail();
    m.attachments.clear();
    m.attachments.push_back(msg_fixture::FileAttachment("big.bin", "application/octet-stream", big));
    std::string shared_path = "__attach_version1.0_#00000000/__substg1.0_37010102";
    for (int i = 0; i < kCopies; ++i) {
      if (row.embedded) {
        FixtureAttachment a;
        a.props.Long(0x3705, 5);
        a.embedded = std::make_shared<FixtureMessage>();
        a.embedded->props.Unicode(0x001A, "IPM.Note").Binary(0x1013, {});
        msg_fixture::SetSmtpSender(a.embedded->props, "Ann", "ann@example.com");
        m.attachments.push_back(a);
      } else {
        m.attachments.push_back(msg_fixture::FileAttachment("copy.bin", "application/octet-stream", {}));
      }
    }
    CompoundImage img = msg_fixture::WriteMsg(m);
    const uint32_t shared = *img.EntryId(shared_path);
    for (int i = 1; i <= kCopies; ++i) {
      char storage[64];
      std::snprintf(storage, sizeof storage, "__attach_version1.0_#%08X", i);
      const std::string path = std::string(storage) + (row.embedded ? "/__substg1.0_3701000D/__substg1.0_10130102"
                                                                     : "/__substg1.0_37010102");
      const std::optional<uint32_t> id = img.EntryId(path);
      ASSERT_TRUE(id) << path;
      img.SetEntryStart(*id, img.entry_starts[shared]);
      img.SetEntrySize(*id, big.size());
    }
    ASSERT_LT(img.bytes.size(), 2 * big.size());
    const Outcome out = Convert(img.bytes);
    ASSERT_TRUE(out.error);
    EXPECT_EQ(*out.error, ErrorCode::kBadSector) << out.detail;
    EXPECT_LE(out.output_bytes, 2 * img.bytes.size());
    EXPECT_LE(out.peak_bytes, 2 * img.bytes.size());
  }
}

// --- Nesting --------------------------------------------------------------------------

FixtureMessage Nested(int levels) {
  FixtureMessage m;
  m.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, "Level " + std::to_string(levels));
  m.props.Binary(0x1013, Bytes("<p>level</p>"));
  msg_fixture::SetSmtpSender(m.props, "Ann", "ann@example.com");
  if (levels > 0) {
    FixtureAttachment a;
    a.props.Long(0x3705, 5).Unicode(0x3001, "Inner");
    a.embedded = std::make_shared<FixtureMessage>(Nested(levels - 1));
    m.attachments.push_back(a);
  }
  return m;
}

class TempFolder {
 public:
  TempFolder() {
    // A fresh name under the system's temporary folder (no mkdtemp on Windows).
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    do {
      path_ = (base / ("bounds_test_" + std::to_string(random()))).string();
    } while (!std::filesystem::create_directory(path_));
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

size_t CountOf(const std::string& text, std::string_view needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

TEST(BoundsTest, NestingBeyondTheLimitFailsWithAClearLineAndWritesNothing) {
  const int limit = formats::limits::kMaxEmbeddingDepth;
  struct Row {
    const char* name;
    int levels;
    bool converts;
    std::string says;  // part of the failure line
  };
  // Far beyond, the storage tree (two storages per level) is too deep already
  // when the file is opened.
  const Row rows[] = {{"at_the_limit", limit, true, ""},
                      {"one_beyond", limit + 1, false, "embedded more than " + std::to_string(limit) + " levels deep"},
                      {"far_beyond", 40, false, "storages nested deeper than"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder dir;
    const std::string source = dir.path() + "/nested.msg";
    const std::string out_dir = dir.path() + "/out/";
    std::filesystem::create_directory(out_dir);
    {
      const std::vector<uint8_t> bytes = msg_fixture::WriteMsg(Nested(row.levels)).bytes;
      std::ofstream(source, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    const std::string line = converter::Run({"quorvex", source, out_dir});
    std::vector<std::filesystem::path> written;
    for (const auto& e : std::filesystem::directory_iterator(out_dir)) written.push_back(e.path());
    if (row.converts) {
      EXPECT_EQ(line, "");
      ASSERT_EQ(written.size(), 1u);
      std::ifstream in(written[0], std::ios::binary);
      const std::string eml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      EXPECT_EQ(CountOf(eml, "Content-Type: message/rfc822"), static_cast<size_t>(limit));
    } else {
      EXPECT_NE(line.find(row.says), std::string::npos) << line;
      EXPECT_NE(line.find("limit-exceeded"), std::string::npos) << line;
      EXPECT_TRUE(written.empty());
    }
  }
}

}  // namespace
