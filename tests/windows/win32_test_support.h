#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace linksift::testing_support {

// The server end of a named pipe that a run reads as its input; the test
// decides when bytes arrive and when the writer goes away.
class PipeWriter {
 public:
  PipeWriter();
  ~PipeWriter();
  PipeWriter(const PipeWriter&) = delete;
  PipeWriter& operator=(const PipeWriter&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Waits for the reader, then sends `bytes`.
  void Send(const std::string& bytes);
  void Close();

 private:
  std::filesystem::path path_;
  HANDLE pipe_;
  bool connected_ = false;
};

// The names of leftover temporaries in `directory`.
std::size_t CountTemporaries(const std::filesystem::path& directory);

}  // namespace linksift::testing_support
