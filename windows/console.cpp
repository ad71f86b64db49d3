// orvel.exe is a windowed program, so that a double-click opens no console. Run from a
// console, it still writes its help, version and error lines there: the standard streams
// that Windows left unset are joined to the console it was started from, before main runs.
// Streams already given (a pipe, a file) stay as they are.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

UINT console_code_page = 0;

bool unset(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle == nullptr || handle == INVALID_HANDLE_VALUE;
}

// The console's code page is the console's, not the program's: it is given back at exit.
void restore_code_page() { SetConsoleOutputCP(console_code_page); }

struct JoinParentConsole {
  JoinParentConsole() {
    const bool out = unset(STD_OUTPUT_HANDLE), err = unset(STD_ERROR_HANDLE);
    if (!out && !err) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;  // started from Explorer: no console
    if (out) std::freopen("CONOUT$", "w", stdout);
    if (err) std::freopen("CONOUT$", "w", stderr);
    // Paths in error lines are UTF-8, as everything the program handles.
    console_code_page = GetConsoleOutputCP();
    if (console_code_page != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) std::atexit(restore_code_page);
  }
};
const JoinParentConsole join_parent_console;

}  // namespace
