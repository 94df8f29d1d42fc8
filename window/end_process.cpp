#include "end_process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include "ending_signals_posix.h"
#endif

namespace linksift {
namespace {

void (*g_end_process_for_tests)(int code) = nullptr;

}  // namespace

void ReplaceEndProcessForTests(void (*instead)(int code)) {
  g_end_process_for_tests = instead;
}

void EndProcessNow(int code) {
  if (g_end_process_for_tests != nullptr) return g_end_process_for_tests(code);
#ifdef _WIN32
  // Handles close with the process; delete-pending temporaries go with them.
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
  ::ExitProcess(static_cast<UINT>(code));  // not reached
#else
  RemoveLiveTemporaries();
  ::_exit(code);
#endif
}

}  // namespace linksift
