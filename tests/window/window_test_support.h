#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "open_dialog.h"
#include "text_label.h"

namespace linksift::testing_support {

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `bytes` to `name` inside the directory and returns its path.
  std::filesystem::path Write(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};

std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);

// The names in `directory`, sorted.
std::vector<std::string> ListNames(const std::filesystem::path& directory);

// How many descriptors of this process are open on `file`.
int OpenDescriptors(const std::filesystem::path& file);

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

// Records every call of the command, in order, from both fakes below.
using CallLog = std::vector<std::string>;

// Answers the command with a preset file, or with a cancel when it has none.
class FakeDialog final : public OpenDialog {
 public:
  explicit FakeDialog(CallLog* log) : log_(log) {}

  void SetTitle(const std::string& title) override { log_->push_back("SetTitle " + title); }
  void SetFilter(const std::string& filter) override { log_->push_back("SetFilter " + filter); }
  void Show() override { log_->push_back("Show"); }
  std::optional<std::filesystem::path> FileName() const override {
    log_->push_back("FileName");
    return answer;
  }

  std::optional<std::filesystem::path> answer;

 private:
  CallLog* log_;
};

class FakeLabel final : public TextLabel {
 public:
  explicit FakeLabel(CallLog* log) : log_(log) {}

  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override {
    log_->push_back("SetText");
    text_ = text;
  }

 private:
  CallLog* log_;
  std::string text_;
};

}  // namespace linksift::testing_support
