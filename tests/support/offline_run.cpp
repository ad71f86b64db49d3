#include "support/offline_run.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/run_program.h"

OfflineRun run_offline(const std::string& program, const std::string& dir, int fps, int start) {
  std::vector<std::string> argv{program,    "--render",       "--fps", std::to_string(fps),
                                "--frames", dir + "/log.tsv", "--wav", dir + "/sound.wav"};
  if (start != 0) argv.insert(argv.end(), {"--start", std::to_string(start)});
  const ProgramResult r = run_program(argv, dir);
  OfflineRun out;
  out.status = r.status;
  out.err = r.err;
  std::istringstream log(read_text(dir + "/log.tsv"));
  std::string line;
  std::getline(log, line);
  while (std::getline(log, line)) out.frames.push_back(line);
  const std::string wav = read_text(dir + "/sound.wav");
  if (wav.size() >= 44) out.samples = wav.substr(44);
  return out;
}

int log_field(const std::string& line, int n) {
  std::istringstream in(line);
  int v = 0;
  for (int i = 0; i <= n; ++i) in >> v;
  return v;
}

::testing::AssertionResult same_from_start(const OfflineRun& whole, const OfflineRun& part, int fps, int start) {
  if (part.status != 0) return ::testing::AssertionFailure() << "exit status " << part.status << ": " << part.err;
  if (part.frames.empty()) return ::testing::AssertionFailure() << "no frame";
  // The first frame shown is the first of the order, numbered as in the whole run.
  const size_t first = static_cast<size_t>(log_field(part.frames[0], 0));
  if (first >= whole.frames.size() || log_field(part.frames[0], 1) != start ||
      (first > 0 && log_field(whole.frames[first - 1], 1) >= start))
    return ::testing::AssertionFailure() << "starts with " << part.frames[0];
  for (size_t i = 0; i < part.frames.size(); ++i)
    if (first + i >= whole.frames.size() || part.frames[i] != whole.frames[first + i])
      return ::testing::AssertionFailure() << "frame " << first + i << ": " << part.frames[i] << " against "
                                           << (first + i < whole.frames.size() ? whole.frames[first + i] : "none");
  if (part.frames.size() != whole.frames.size() - first)
    return ::testing::AssertionFailure() << part.frames.size() << " frames against " << whole.frames.size() - first;
  const size_t from = first * 44100 / fps * 4;
  if (from > whole.samples.size() || part.samples != whole.samples.substr(from))
    return ::testing::AssertionFailure() << "the sound differs from sample " << from / 4;
  return ::testing::AssertionSuccess();
}
