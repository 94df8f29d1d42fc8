#pragma once

#include <signal.h>

#include <string>

namespace linksift {

// Blocks SIGPIPE and SIGXFSZ on the calling thread while it lives, so that a
// reader that leaves or a file size limit fails the write ("Broken pipe",
// "File too large") instead of killing the process. On the way out it takes
// what the writes raised, so that unblocking does not deliver it.
class WriteSignalsAsErrors {
 public:
  WriteSignalsAsErrors();
  ~WriteSignalsAsErrors();
  WriteSignalsAsErrors(const WriteSignalsAsErrors&) = delete;
  WriteSignalsAsErrors& operator=(const WriteSignalsAsErrors&) = delete;

 private:
  sigset_t saved_;
};

// Named temporaries of the runs in progress, which SIGTERM, SIGINT and SIGHUP
// remove before they end the process as they would have. The first call
// installs the handlers (a signal that is ignored stays ignored). Returns a
// slot for ForgetTemporary, or -1 when all are taken: the temporary is then
// left to the next run's sweep.
int RememberTemporary(int directory, const std::string& name);
// The temporary has been renamed or removed; `slot` becomes -1.
void ForgetTemporary(int& slot);
// Removes the named temporaries of the runs in progress, for a process that
// ends without waiting for them. Async-signal-safe.
void RemoveLiveTemporaries();

}  // namespace linksift
