#include "support/run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/read_file.h"

ProgramResult run_program(const std::vector<std::string>& argv, const std::string& working_dir,
                          const std::vector<std::string>& env) {
  ProgramResult result;
  char out_name[] = "/tmp/orvel-out-XXXXXX";
  char err_name[] = "/tmp/orvel-err-XXXXXX";
  const int out_fd = mkstemp(out_name);
  const int err_fd = mkstemp(err_name);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    const int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    if (!working_dir.empty() && chdir(working_dir.c_str()) != 0) _exit(127);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  close(out_fd);
  close(err_fd);
  result.out = read_text(out_name);
  result.err = read_text(err_name);
  unlink(out_name);
  unlink(err_name);
  return result;
}

std::string scratch_dir(const std::string& name) {
  // Per process: ctest runs the cases of one program in parallel processes.
  const std::filesystem::path dir =
      std::filesystem::path(ORVEL_BUILD_DIR) / "scratch" / (name + "." + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

std::string read_text(const std::string& path) {
  std::string text;
  read_file(path, &text);
  return text;
}

void write_bytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
