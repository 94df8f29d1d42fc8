#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <stdexcept>
#include <string>

#include "pipe_writer.h"

namespace linksift::testing_support {

PipeWriter::PipeWriter() {
  std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::filesystem::path candidate =
        std::filesystem::temp_directory_path() / ("linksift-pipe-" + std::to_string(random()));
    if (::mkfifo(candidate.c_str(), 0600) == 0) path_ = candidate;
  }
  if (path_.empty()) throw std::runtime_error("cannot make a fifo");
}

PipeWriter::~PipeWriter() {
  Close();
  ::unlink(path_.c_str());
}

void PipeWriter::Send(std::string_view bytes) {
  // Read and write: opening does not wait for a reader.
  if (end_ < 0) end_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
  if (end_ < 0) throw std::runtime_error("cannot open the fifo");
  while (!bytes.empty()) {
    const ssize_t written = ::write(static_cast<int>(end_), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw std::runtime_error("cannot write to the fifo");
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void PipeWriter::Close() {
  if (end_ >= 0) ::close(static_cast<int>(end_));
  end_ = -1;
}

}  // namespace linksift::testing_support
