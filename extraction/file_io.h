#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace linksift {

// The operating system's side of a run. Every failure throws ExtractionError.

// A file read from start to end.
class InputFile {
 public:
  explicit InputFile(const std::filesystem::path& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Fills up to `capacity` bytes; 0 only at the end of the file.
  std::size_t Read(char* buffer, std::size_t capacity);
  // The size when the file was opened, 0 when it has none (a pipe).
  std::uint64_t size() const { return size_; }

 private:
  std::filesystem::path path_;
  std::intptr_t handle_ = -1;
  std::uint64_t size_ = 0;
};

// A replacement for `target`, written to a temporary file in the same
// directory and put in place by Commit(). Until then the target is untouched;
// a replacement that is never committed leaves nothing behind.
class ReplacementFile {
 public:
  explicit ReplacementFile(const std::filesystem::path& target);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  void Write(const char* data, std::size_t size);
  // Makes the content durable and puts it in place of the target.
  void Commit();

 private:
  void Discard() noexcept;

  std::filesystem::path target_;     // as given, for messages
  std::filesystem::path resolved_;   // the file a symbolic link leads to
  std::intptr_t handle_ = -1;
  std::intptr_t directory_ = -1;
  std::filesystem::path temporary_;  // empty while the file has no name
  bool committed_ = false;
};

}  // namespace linksift
