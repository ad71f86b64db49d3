// The platform on Linux and in the web page (emscripten's POSIX layer).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"

const char* path_separators() { return "/"; }

bool is_absolute_path(const char* path) { return path[0] == '/'; }

bool executable_path(char* out, size_t size) {
  if (size < 2) return false;
  const ssize_t length = readlink("/proc/self/exe", out, size - 1);
  if (length <= 0) return false;
  out[length] = '\0';
  return true;
}

bool folder_takes_new_files(const std::string& folder) { return access(folder.c_str(), W_OK | X_OK) == 0; }

bool is_plain_file(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

QuietOutput::QuietOutput(bool output_too) {
  std::fflush(stdout);
  std::fflush(stderr);
  const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null_fd < 0) return;
  for (int fd = output_too ? 1 : 2; fd <= 2; ++fd) {
    saved_[fd] = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (saved_[fd] >= 0) dup2(null_fd, fd);
  }
  close(null_fd);
}

QuietOutput::~QuietOutput() {
  // Whatever a library left in stdio's buffers is dropped with the rest.
  std::fflush(stdout);
  std::fflush(stderr);
  for (int fd = 1; fd <= 2; ++fd) {
    if (saved_[fd] < 0) continue;
    dup2(saved_[fd], fd);
    close(saved_[fd]);
  }
}
