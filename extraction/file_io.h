#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace linksift {

// The operating system's side of a run. Every failure throws ExtractionError.

// A file read from start to end. A wait for a pipe's next bytes ends with
// ExtractionCancelled once `cancel` is set.
class InputFile {
 public:
  explicit InputFile(const std::filesystem::path& path, const std::atomic<bool>* cancel = nullptr);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  using Consumer = std::function<void(std::string_view)>;

  // Hands the whole file to `consume` in stretches of about `block_size`
  // bytes, each valid only during its call.
  void ForEachBlock(std::size_t block_size, const Consumer& consume);
  // The size when the file was opened, 0 when it has none (a pipe).
  std::uint64_t size() const { return size_; }

 private:
  void ReadBlocks(std::size_t block_size, const Consumer& consume);
  void WaitForData();
  bool MapBlocks(std::size_t block_size, const Consumer& consume);

  std::filesystem::path path_;
  const std::atomic<bool>* cancel_;
  std::intptr_t handle_ = -1;
  std::uint64_t size_ = 0;
  bool regular_ = false;
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
  void OpenInPlace();
  int CreateNamed();
  [[noreturn]] void Abandon(int error);
  void NameUnnamed();
  void CloseInPlace();
  void Discard() noexcept;

  std::filesystem::path target_;    // as given, for messages
  std::filesystem::path resolved_;  // the file a symbolic link leads to
  std::intptr_t handle_ = -1;
  std::intptr_t directory_ = -1;
  std::filesystem::path temporary_;  // empty while the file has no name
  bool committed_ = false;
  bool in_place_ = false;        // a device or pipe, written to directly
  bool delete_pending_ = false;  // the system removes the temporary if the process dies
};

}  // namespace linksift
