// Inside the music folder: standard error goes nowhere while one of these lives. The sound
// systems' libraries (ALSA's, PulseAudio's) print about a machine with no sound card, and
// the program shows no messages.
#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

class QuietOutput {
 public:
  QuietOutput() {
    std::fflush(stderr);
#ifdef _WIN32
    const int null_fd = open("NUL", O_WRONLY);
    if (null_fd < 0) return;
    saved_ = dup(2);
#else
    const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null_fd < 0) return;
    saved_ = fcntl(2, F_DUPFD_CLOEXEC, 3);
#endif
    if (saved_ >= 0) dup2(null_fd, 2);
    close(null_fd);
  }
  ~QuietOutput() {
    std::fflush(stderr);
    if (saved_ < 0) return;
    dup2(saved_, 2);
    close(saved_);
  }
  QuietOutput(const QuietOutput&) = delete;
  QuietOutput& operator=(const QuietOutput&) = delete;

 private:
  int saved_ = -1;
};
