#include "file_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "extract.h"
#include "test_support.h"

namespace linksift {
namespace {
namespace fs = std::filesystem;

using FileIoTest = testing_support::TempDirTest;

TEST_F(FileIoTest, BlocksCoverTheWholeFileInOrder) {
  std::string content;
  for (int i = 0; content.size() < 100'000; ++i) content += std::to_string(i) + ' ';
  std::ofstream(dir_ / "in.txt", std::ios::binary) << content;
  for (const std::size_t block : {std::size_t{1000}, std::size_t{4096}, std::size_t{1} << 20}) {
    InputFile input(dir_ / "in.txt");
    EXPECT_EQ(input.size(), content.size());
    std::string seen;
    input.ForEachBlock(block, [&](std::string_view part) { seen.append(part); });
    EXPECT_EQ(seen, content) << "block size " << block;
  }
}

// A file cut short while it is being read is a read error, never a crash
// and never a quietly shorter input.
TEST_F(FileIoTest, FileTruncatedDuringTheRunIsAReadError) {
  const long page = ::sysconf(_SC_PAGESIZE);
  std::ofstream(dir_ / "in.txt", std::ios::binary) << std::string(3 * page, 'x');
  InputFile input(dir_ / "in.txt");
  try {
    input.ForEachBlock(page, [&](std::string_view part) {
      fs::resize_file(dir_ / "in.txt", 0);
      volatile char touch = part[0];
      (void)touch;
    });
    FAIL() << "no error";
  } catch (const ExtractionError& e) {
    EXPECT_EQ(e.stage(), Stage::kRead);
    EXPECT_EQ(e.code(), std::errc::io_error);
  }
}

// Devices and pipes are written as they are; replacing one with a file would be wrong.
TEST_F(FileIoTest, PipeOutputIsWrittenInPlace) {
  const fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::ofstream(dir_ / "in.txt", std::ios::binary) << "a http://x\r\n";
  std::string received;
  std::thread reader([&] {
    std::ifstream in(fifo, std::ios::binary);
    received.assign(std::istreambuf_iterator<char>(in), {});
  });
  EXPECT_EQ(ExtractLinksFromFile(dir_ / "in.txt", fifo), 1u);
  reader.join();
  EXPECT_EQ(received, "http://x\r\n");
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 2);
}

}  // namespace
}  // namespace linksift
