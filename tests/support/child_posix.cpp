#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "child.h"

namespace linksift::testing_support {

int InChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace linksift::testing_support
