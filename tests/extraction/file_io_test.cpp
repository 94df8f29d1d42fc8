#include "file_io.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

using FileIoTest = TempDirTest;

TEST_F(FileIoTest, BlocksCoverTheWholeFileInOrder) {
  std::string content;
  for (int i = 0; content.size() < 100'000; ++i) content += std::to_string(i) + ' ';
  WriteFile(dir_ / "in.txt", content);
  for (const std::size_t block : {std::size_t{1000}, std::size_t{4096}, std::size_t{1} << 20}) {
    InputFile input(dir_ / "in.txt");
    EXPECT_EQ(input.size(), content.size());
    std::string seen;
    input.ForEachBlock(block, [&](std::string_view part) { seen.append(part); });
    EXPECT_EQ(seen, content) << "block size " << block;
  }
}

}  // namespace
}  // namespace linksift
