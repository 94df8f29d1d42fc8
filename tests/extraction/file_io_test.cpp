#include "file_io.h"

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

}  // namespace
}  // namespace linksift
