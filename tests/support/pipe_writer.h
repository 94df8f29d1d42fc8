#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace linksift::testing_support {

// The writing end of a named pipe that a run reads as its input: the test
// decides when bytes arrive and when the writer goes away.
class PipeWriter {
 public:
  // kOnFirstSend: until the first Send the pipe has no writer. kAtOnce (POSIX):
  // the writer is there from the start, so a reader's open never waits.
  enum class Writer { kOnFirstSend, kAtOnce };

  // The pipe gets a fresh name in the temporary folder, or on POSIX `path`.
  explicit PipeWriter(Writer writer = Writer::kOnFirstSend, std::filesystem::path path = {});
  ~PipeWriter();
  PipeWriter(const PipeWriter&) = delete;
  PipeWriter& operator=(const PipeWriter&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Sends `bytes`. On Windows it first waits for the reader to open the pipe.
  void Send(std::string_view bytes);
  // The reader then sees the end of its input, on Windows once it has taken
  // everything.
  void Close();

 private:
  void OpenWriter();

  std::filesystem::path path_;
  std::intptr_t end_ = -1;  // the writing end: a descriptor, or a HANDLE on Windows
  bool connected_ = false;  // Windows: the reader has opened the pipe
};

}  // namespace linksift::testing_support
