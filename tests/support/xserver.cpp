#include "support/xserver.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tools/read_file.h"

bool on_path(const std::string &program) {
  const char *path = getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    if (access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

bool XServer::start(const char *geometry) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid = fork();
  if (pid == 0) {
    close(fds[0]);
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", geometry, "-nolisten", "tcp", "-noreset",
           static_cast<char *>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  pollfd wait_for{fds[0], POLLIN, 0};
  char c = 0;
  while (poll(&wait_for, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (pid < 0 || number.empty()) return false;
  display = ":" + number;
  return true;
}

void XServer::stop() {
  if (pid > 0) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
  pid = -1;
}

uint32_t be32(const std::vector<uint8_t> &b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// One channel of an X pixel, as 8 bits.
uint32_t channel(uint32_t value, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0, bits = 0;
  while (!((mask >> shift) & 1)) ++shift;
  while ((mask >> (shift + bits)) & 1) ++bits;
  const uint32_t v = (value & mask) >> shift;
  return bits >= 8 ? v >> (bits - 8) : v * 255 / ((1u << bits) - 1);
}

// An X window dump: a big-endian header, a colour map, then the pixels.
bool read_xwd(const std::string &path, Picture &shot) {
  const std::vector<uint8_t> b = read_file(path);
  if (b.size() < 100 || be32(b, 4) != 7 || be32(b, 8) != 2) return false;
  const uint32_t header = be32(b, 0), width = be32(b, 16), height = be32(b, 20), lsb_first = be32(b, 28) == 0;
  const uint32_t bpp = be32(b, 44), line = be32(b, 48), colours = be32(b, 76);
  const uint32_t red = be32(b, 56), green = be32(b, 60), blue = be32(b, 64);
  const size_t data = header + size_t{colours} * 12;
  if ((bpp != 32 && bpp != 24 && bpp != 16) || b.size() < data + size_t{line} * height) return false;
  shot.width = static_cast<int>(width);
  shot.height = static_cast<int>(height);
  shot.rgb.resize(size_t{width} * height);
  const uint32_t bytes = bpp / 8;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t *p = &b[data + size_t{y} * line + x * bytes];
      uint32_t v = 0;
      for (uint32_t i = 0; i < bytes; ++i) v |= uint32_t{p[lsb_first ? i : bytes - 1 - i]} << (8 * i);
      shot.rgb[size_t{y} * width + x] = (channel(v, red) << 16) | (channel(v, green) << 8) | channel(v, blue);
    }
  }
  return true;
}

bool screenshot(const std::string &display, const std::string &xwd_path, Picture &shot, const std::string &window) {
  const std::string which = window.empty() ? "-root" : "-nobdrs -name '" + window + "'";
  const std::string command = "xwd " + which + " -silent -display " + display + " -out " + xwd_path;
  const bool ok = std::system(command.c_str()) == 0 && read_xwd(xwd_path, shot);
  std::remove(xwd_path.c_str());
  return ok;
}
