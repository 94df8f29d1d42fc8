#include "fifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
#include <system_error>

namespace linksift::testing_support {

Fifo::Fifo(std::filesystem::path path) : path_(std::move(path)) {
  if (::mkfifo(path_.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
  // Read and write: opening does not wait for a reader, and the reader's
  // open does not wait for us.
  fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path_.string());
}

Fifo::~Fifo() {
  Close();
}

void Fifo::Write(const std::string& bytes) {
  if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    throw std::runtime_error("cannot write " + path_.string());
  }
}

void Fifo::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int OpenDescriptors(const std::filesystem::path& file) {
  int count = 0;
  std::error_code ignored;  // a descriptor may close while we look
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    if (std::filesystem::read_symlink(entry.path(), ignored) == file) ++count;
  }
  return count;
}

}  // namespace linksift::testing_support
