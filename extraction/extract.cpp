#include "extract.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "file_io.h"
#include "link_scanner.h"

namespace linksift {
namespace {

// Gathers links into large writes; a link longer than the buffer streams through.
class FileSink final : public LinkSink {
 public:
  explicit FileSink(ReplacementFile& file) : file_(file), buffer_(new char[kCapacity]) {}

  void Append(std::string_view bytes) override {
    if (bytes.size() > kCapacity - used_) {
      Flush();
      if (bytes.size() >= kCapacity) {
        file_.Write(bytes.data(), bytes.size());
        return;
      }
    }
    std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }

  void EndLink() override { Append("\r\n"); }

  void Flush() {
    if (used_ != 0) file_.Write(buffer_.get(), used_);
    used_ = 0;
  }

 private:
  static constexpr std::size_t kCapacity = 64 * 1024;
  ReplacementFile& file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
};

}  // namespace

LinkCount ExtractLinksFromFile(const std::filesystem::path& input,
                               const std::filesystem::path& output, const RunOptions& options) {
  InputFile source(input);
  ReplacementFile target(output);
  FileSink sink(target);
  LinkScanner scanner(sink);
  source.ForEachBlock(std::max<std::size_t>(options.block_size, 1),
                      [&scanner](std::string_view block) { scanner.Feed(block); });
  scanner.Finish();
  sink.Flush();
  target.Commit();
  return scanner.count();
}

}  // namespace linksift
