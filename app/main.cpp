#include "app/demo.h"
#include "app/options.h"

int main(int argc, char** argv) {
  RunOptions options;
  switch (parse_options(argc, argv, &options)) {
    case OptionsResult::ExitOk:
      return 0;
    case OptionsResult::ExitUsage:
      return 2;
    case OptionsResult::Run:
      break;
  }
  return run_demo(&options);
}
