// The platform: the few system calls the program makes itself, beneath everything else.
// One file per system offers them (posix.cpp, windows.cpp); the rest of the program and
// its libraries stay the same everywhere.
#pragma once
#include <cstddef>
#include <string>

// The characters that separate folders in a path.
const char* path_separators();

// Whether path names its place from the root (of a drive, on Windows).
bool is_absolute_path(const char* path);

// The running program's own file, in UTF-8, into out; false when the system cannot say.
bool executable_path(char* out, size_t size);

// Whether a new file may be made in this existing folder, as far as the system can tell
// before trying.
bool folder_takes_new_files(const std::string& folder);

// Whether path names a regular file itself (a link to one is not).
bool is_plain_file(const std::string& path);

// While one lives, standard error (and standard output too, when asked) goes to the null
// device: what libraries print about a machine's sound or display must not reach the
// program's output, which the live mode keeps empty.
class QuietOutput {
 public:
  explicit QuietOutput(bool output_too = false);
  ~QuietOutput();
  QuietOutput(const QuietOutput&) = delete;
  QuietOutput& operator=(const QuietOutput&) = delete;

 private:
  int saved_[3] = {-1, -1, -1};
};
