#include "extract.h"

#include <algorithm>

#include "file_io.h"
#include "link_scanner.h"

namespace linksift {
namespace {

class FileSink final : public LinkSink {
 public:
  explicit FileSink(ReplacementFile& file) : file_(file) {}
  void Write(std::string_view bytes) override { file_.Write(bytes.data(), bytes.size()); }

 private:
  ReplacementFile& file_;
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
  target.Commit();
  return scanner.count();
}

}  // namespace linksift
