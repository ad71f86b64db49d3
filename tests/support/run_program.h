// Runs a program as a child process and collects its exit status and output.
#pragma once
#include <string>
#include <vector>

struct ProgramResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

// env entries are "NAME=value" added to the current environment.
ProgramResult run_program(const std::vector<std::string>& argv, const std::string& working_dir = "",
                          const std::vector<std::string>& env = {});

// A fresh empty folder under the build folder's scratch area, this process's own.
std::string scratch_dir(const std::string& name);
std::string read_text(const std::string& path);
void write_bytes(const std::string& path, const std::vector<unsigned char>& bytes);
