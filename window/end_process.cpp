#include "end_process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include "signals_posix.h"
#endif

namespace linksift {

void EndProcessNow(int code) {
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
