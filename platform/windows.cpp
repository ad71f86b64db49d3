// The platform on Windows (mingw-w64's C library over msvcrt). Paths are UTF-8: the
// program's manifest makes that the process's code page.
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <climits>
#include <cstdio>

#include "platform/platform.h"

// Either slash separates folders.
const char* path_separators() { return "/\\"; }

bool is_absolute_path(const char* path) {
  return path[0] == '/' || path[0] == '\\' || (path[0] != '\0' && path[1] == ':');
}

bool executable_path(char* out, size_t size) {
  wchar_t wide[PATH_MAX];
  const DWORD length = GetModuleFileNameW(nullptr, wide, PATH_MAX);
  if (length == 0 || length >= PATH_MAX) return false;
  return WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, static_cast<int>(size), nullptr, nullptr) > 0;
}

// Windows grants a new file by the folder's access list, which access() cannot see: the
// folder being there is all that can be known before trying.
bool folder_takes_new_files(const std::string& folder) { return _access(folder.c_str(), 0) == 0; }

// No lstat here: devices are not files, and a link is taken as what it leads to.
bool is_plain_file(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

QuietOutput::QuietOutput(bool output_too) {
  std::fflush(stdout);
  std::fflush(stderr);
  // The program starts no other, so no copy of a descriptor can leak into one.
  const int null_fd = _open("NUL", _O_WRONLY);
  if (null_fd < 0) return;
  for (int fd = output_too ? 1 : 2; fd <= 2; ++fd) {
    saved_[fd] = _dup(fd);
    if (saved_[fd] >= 0) _dup2(null_fd, fd);
  }
  _close(null_fd);
}

QuietOutput::~QuietOutput() {
  std::fflush(stdout);
  std::fflush(stderr);
  for (int fd = 1; fd <= 2; ++fd) {
    if (saved_[fd] < 0) continue;
    _dup2(saved_[fd], fd);
    _close(saved_[fd]);
  }
}
