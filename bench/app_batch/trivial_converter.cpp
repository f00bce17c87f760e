// A stand-in converter for measuring the batch run's own cost: writes one small
// .eml under a fresh name into the output folder, as the real tool does, without
// reading the message.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::puts("Usage: Quorvex.exe <msg_file> <output folder>");
    return 0;
  }
  const std::string text = std::string("Subject: converted\r\nX-Source: ") + argv[1] + "\r\n\r\nbody\r\n";
  for (int n = 0; n < 1000; ++n) {
    const std::string path = std::string(argv[2]) + "gen-" + std::to_string(::getpid()) + "-" +
                             std::to_string(n) + ".eml";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) continue;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok ? 0 : 1;
  }
  return 1;
}
