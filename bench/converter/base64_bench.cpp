// Throughput of the streaming base64 encoder, fed in sector-sized chunks as the
// compound file hands attachments over. Prints MB/s of input.
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "formats/mime/base64.h"

namespace {

class CountingSink : public formats::mime::Sink {
 public:
  formats::Status Write(std::string_view bytes) override {
    total += bytes.size();
    last = bytes.empty() ? 0 : bytes.back();
    return {};
  }
  size_t total = 0;
  char last = 0;
};

}  // namespace

int main() {
  std::vector<uint8_t> data(256u << 20);
  std::mt19937_64 rng(1);
  for (size_t i = 0; i + 8 <= data.size(); i += 8) {
    const uint64_t v = rng();
    for (int k = 0; k < 8; ++k) data[i + k] = static_cast<uint8_t>(v >> (8 * k));
  }
  for (size_t chunk : {size_t{4096}, size_t{64} << 10, data.size()}) {
    CountingSink sink;
    const auto start = std::chrono::steady_clock::now();
    formats::mime::Base64LineEncoder encoder(sink);
    for (size_t pos = 0; pos < data.size(); pos += chunk) {
      (void)encoder.Feed({data.data() + pos, std::min(chunk, data.size() - pos)});
    }
    (void)encoder.Finish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("chunk %9zu: %.0f MB/s in, %zu bytes out\n", chunk, data.size() / seconds / 1e6, sink.total);
  }
  return 0;
}
