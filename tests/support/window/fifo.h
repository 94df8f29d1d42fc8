#pragma once

#include <filesystem>
#include <string>

namespace linksift::testing_support {

// A named pipe whose writing end the test holds: a run reading it goes on
// until Close(), as slowly as the test likes.
class Fifo {
 public:
  explicit Fifo(std::filesystem::path path);
  ~Fifo();
  Fifo(const Fifo&) = delete;
  Fifo& operator=(const Fifo&) = delete;

  const std::filesystem::path& path() const { return path_; }
  void Write(const std::string& bytes);
  // The reader then sees the end of its input.
  void Close();

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

// How many descriptors of this process are open on `file`.
int OpenDescriptors(const std::filesystem::path& file);

}  // namespace linksift::testing_support
