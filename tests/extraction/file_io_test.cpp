#include "replacement_file.h"

#include "extract.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <system_error>

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

// Another run's temporary, or anything else under the name, is never touched:
// the next name is tried. Any other failure ends the search at once.
TEST(TemporaryNames, AreFreshHiddenAndTriedUntilOneIsFree) {
  struct Case {
    int taken;          // names reported as taken before `then`
    std::errc then;     // what the next attempt gives; errc{} for success
    std::size_t calls;  // attempts expected
    std::error_code result;
  };
  const std::error_code exists = std::make_error_code(std::errc::file_exists);
  const std::error_code denied = std::make_error_code(std::errc::permission_denied);
  const Case cases[] = {
      {0, std::errc{}, 1, {}},
      {3, std::errc{}, 4, {}},
      {2, std::errc::permission_denied, 3, denied},
      {1000, std::errc{}, 100, exists},
  };
  for (const Case& c : cases) {
    std::set<fs::path> names;
    const std::error_code result =
        os::CreateUnderFreshName(fs::path("dir") / "urls.txt", [&](const fs::path& name) {
          names.insert(name);
          if (static_cast<int>(names.size()) <= c.taken) return exists;
          return c.then == std::errc{} ? std::error_code() : std::make_error_code(c.then);
        });
    EXPECT_EQ(result, c.result) << c.taken;
    EXPECT_EQ(names.size(), c.calls) << "every attempt a new name";
    for (const fs::path& name : names) {
      const std::string text = name.string();
      EXPECT_TRUE(text.starts_with(".urls.txt.linksift-") && text.ends_with(".tmp")) << text;
      EXPECT_EQ(name.filename(), name) << "a name beside the target, not a path";
    }
  }
}

// The pattern a later run sweeps: exactly the names TemporaryName gives.
TEST(TemporaryNames, ArePickedOutByTheirPattern) {
  struct Case {
    const char* target;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"urls.txt", ".urls.txt.linksift-0123abcd.tmp", true},
      {"urls.txt", ".urls.txt.linksift-0123ABCD.tmp", false},
      {"urls.txt", ".urls.txt.linksift-0123abc.tmp", false},
      {"urls.txt", ".urls.txt.linksift-0123abcde.tmp", false},
      {"urls.txt", ".urls.txt.linksift-0123abcd.tmp~", false},
      {"urls.txt", ".urls.txt.linksift-0123abcd", false},
      {"urls.txt", "urls.txt.linksift-0123abcd.tmp", false},
      {"urls.txt", ".other.txt.linksift-0123abcd.tmp", false},
      {"a", ".a.linksift-ffffffff.tmp", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(os::IsTemporaryNameFor(c.target, c.name), c.matches) << c.name;
  }
  std::error_code ignored = os::CreateUnderFreshName("dir/urls.txt", [](const fs::path& name) {
    EXPECT_TRUE(os::IsTemporaryNameFor("urls.txt", name.string())) << name;
    return std::error_code();
  });
  EXPECT_FALSE(ignored);
}

// A name may take all 255 bytes (UTF-16 units on Windows, whose names Wine
// keeps as UTF-8 bytes): its temporary's name is cut short to fit, and the
// sweep's pattern knows the cut one.
TEST_F(FileIoTest, OutputNamesOfEveryValidLengthAreWritten) {
  struct Case {
    const char* name;
    std::u8string leaf;
  };
  const auto repeat = [](std::u8string_view part, int times) {
    std::u8string text;
    for (int i = 0; i < times; ++i) text += part;
    return text;
  };
  const Case cases[] = {
      {"232 bytes, the longest kept whole", repeat(u8"c", 232)},
      {"233 bytes", repeat(u8"c", 233)},
      {"255 bytes", repeat(u8"c", 255)},
      {"127 two-byte letters and one more byte", repeat(u8"я", 127) + u8"c"},
  };
  WriteFile(dir_ / "in.txt", "see http://a/b, x\n");
  for (const Case& c : cases) {
    const fs::path output = dir_ / fs::path(c.leaf);
    EXPECT_NO_THROW(ExtractLinksFromFile(dir_ / "in.txt", output)) << c.name;
    EXPECT_EQ(ReadFile(output), "http://a/b\r\n") << c.name;
    EXPECT_EQ(CountTemporaries(dir_), 0u) << c.name;
    const std::error_code ignored = os::CreateUnderFreshName(output, [&](const fs::path& name) {
      EXPECT_LE(name.u8string().size(), 255u) << c.name;
#ifndef _WIN32  // only POSIX sweeps
      EXPECT_TRUE(os::IsTemporaryNameFor(output.filename().string(), name.string())) << c.name;
#endif
      return std::error_code();
    });
    EXPECT_FALSE(ignored);
  }
}

}  // namespace
}  // namespace linksift
