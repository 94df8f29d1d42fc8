// linksift-extract [OPTIONS] INPUT OUTPUT: the button's run, for scripts and benchmarks.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include "ending_signals_posix.h"
#endif

#include "extract.h"
#include "utf16.h"
#include "version.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFailed = 1;
constexpr int kUsageError = 2;

std::string Usage() {
  return std::string(
             "Usage: linksift-extract [OPTIONS] INPUT OUTPUT\n"
             "Writes the first http:// link of every line of INPUT to OUTPUT, one per line\n"
             "with CR LF, and prints how many it wrote. A file OUTPUT is replaced only once\n"
             "the new one is complete; a device or pipe is written directly.\n"
             "'-' is standard input as INPUT and standard output as OUTPUT; the count then\n"
             "goes to standard error.\n"
             "\n") +
         linksift::kCommonOptionsHelp +
         "  --          end the options: what follows are file names\n"
         "\n"
         "Exit status: 0 the links were written, 1 the run failed,\n"
         "2 the command line was wrong.\n";
}

// Writes all of `text` and flushes it; false, with errno set, when it is lost.
bool Print(std::FILE* stream, const std::string& text) {
  errno = 0;
  if (std::fputs(text.c_str(), stream) < 0 || std::fflush(stream) != 0) {
    if (errno == 0) errno = EIO;
    return false;
  }
  return true;
}

// Help and version go to stdout; one that cannot take them gets told why.
int PrintAnswer(const std::string& what, const std::string& text) {
  if (Print(stdout, text)) return 0;
  const std::string reason = std::strerror(errno);
  Print(stderr, "linksift-extract: cannot print the " + what + ": " + reason + "\n");
  return kFailed;
}

int UsageError(const std::string& problem) {
  Print(stderr, "linksift-extract: " + problem + "\nTry 'linksift-extract --help'.\n");
  return kUsageError;
}

// The number goes where the links do not, so that they stay clean.
int ReportCount(linksift::LinkCount count, const fs::path& output) {
  std::FILE* stream = linksift::IsStandardOutput(output) ? stderr : stdout;
  if (Print(stream, std::to_string(count) + "\n")) return 0;
  const std::string reason = std::strerror(errno);
  Print(stderr, "linksift-extract: the links were written to '" + linksift::Utf8FromPath(output) +
                    "', but their number could not be printed: " + reason + "\n");
  return kFailed;
}

int Extract(const fs::path& input, const fs::path& output) {
  linksift::LinkCount count = 0;
  try {
    count = linksift::ExtractLinksFromFile(input, output);
  } catch (const std::exception& e) {
    Print(stderr, std::string("linksift-extract: ") + e.what() + "\n");
    return kFailed;
  }
  return ReportCount(count, output);
}

// Options may come anywhere before "--"; "-" alone is a file name.
template <typename Char>
int Run(int argc, Char** argv) {
  std::vector<fs::path> operands;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const fs::path argument(argv[i]);
    const std::string text = linksift::Utf8FromPath(argument);
    if (options_ended || text == "-" || !text.starts_with("-")) {
      operands.push_back(argument);
    } else if (text == "--") {
      options_ended = true;
    } else if (text == "--help" || text == "-h") {
      return PrintAnswer("help", Usage());
    } else if (text == "--version") {
      return PrintAnswer("version",
                         std::string("linksift-extract ") + linksift::kVersionText + "\n");
    } else {
      return UsageError("unknown option '" + text + "'");
    }
  }
  if (operands.empty()) return UsageError("missing INPUT and OUTPUT");
  if (operands.size() == 1)
    return UsageError("missing OUTPUT after '" + linksift::Utf8FromPath(operands[0]) + "'");
  if (operands.size() > 2)
    return UsageError("extra operand '" + linksift::Utf8FromPath(operands[2]) + "'");
  return Extract(operands[0], operands[1]);
}

#ifndef _WIN32
// A closed standard stream keeps its number taken, by a descriptor that
// fails every use: a file the run opens must never take its place, and the
// count must not vanish into one unnoticed.
void HoldClosedStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int held = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}
#endif

}  // namespace

#ifdef _WIN32
// UTF-16 arguments: the narrow form would lose names outside the code page.
int wmain(int argc, wchar_t** argv) {
  return linksift::RunCatching("linksift-extract", [&] { return Run(argc, argv); });
}
#else
int main(int argc, char** argv) {
  HoldClosedStandardStreams();
  // Names of descriptors reach only those the caller gave, never the run's own files.
  linksift::RecordGivenDescriptors();
  // The ending signals then end the process whatever the run waits on, its
  // temporary removed; a count that cannot be printed is a failure to report,
  // not a death.
  return linksift::RunTakingEndingSignals("linksift-extract", [&] { return Run(argc, argv); });
}
#endif
