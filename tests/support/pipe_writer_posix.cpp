#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>

#include "pipe_writer.h"

namespace linksift::testing_support {

namespace {

std::filesystem::path MakeFifo(std::filesystem::path path) {
  if (!path.empty()) {
    if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("cannot make " + path.string());
    return path;
  }
  std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    path = std::filesystem::temp_directory_path() / ("linksift-pipe-" + std::to_string(random()));
    if (::mkfifo(path.c_str(), 0600) == 0) return path;
  }
  throw std::runtime_error("cannot make a fifo");
}

}  // namespace

PipeWriter::PipeWriter(Writer writer, std::filesystem::path path)
    : path_(MakeFifo(std::move(path))) {
  if (writer == Writer::kAtOnce) OpenWriter();
}

PipeWriter::~PipeWriter() {
  Close();
  ::unlink(path_.c_str());
}

void PipeWriter::OpenWriter() {
  // Read and write: opening does not wait for a reader, nor a reader for us.
  end_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
  if (end_ < 0) throw std::runtime_error("cannot open " + path_.string());
}

void PipeWriter::Send(std::string_view bytes) {
  if (end_ < 0) OpenWriter();
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
