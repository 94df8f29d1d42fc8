#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "child.h"
#include "extract.h"

namespace linksift::testing_support {

int InChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunFailsAt(const std::filesystem::path& input, const std::filesystem::path& output, Stage stage,
               std::errc reason) {
  try {
    ExtractLinksFromFile(input, output);
    std::fprintf(stderr, "no error\n");
    return 1;
  } catch (const ExtractionError& e) {
    if (e.stage() == stage && e.code() == reason) return 0;
    std::fprintf(stderr, "unexpected error: %s\n", e.what());
    return 1;
  }
}

}  // namespace linksift::testing_support
