// Each search kernel against a plain loop, on short random stretches at every
// alignment, where vector loops hand over to their scalar tails.
#include "byte_search.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "link_rule.h"
#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

using Search = const char* (*)(const char*, const char*);

const char* FirstOf(std::string_view text, std::string_view bytes) {
  const std::size_t at = text.find_first_of(bytes);
  return text.data() + (at == std::string_view::npos ? text.size() : at);
}

const char* PlainSchemeSeparator(const char* begin, const char* end) {
  const std::string_view text(begin, static_cast<std::size_t>(end - begin));
  const std::size_t at = text.find(kSchemeSeparator);
  return at == std::string_view::npos ? end : begin + at;
}
const char* PlainLinkEnd(const char* begin, const char* end) {
  return FirstOf(std::string_view(begin, static_cast<std::size_t>(end - begin)), " \r\n");
}
const char* PlainLineEnd(const char* begin, const char* end) {
  return FirstOf(std::string_view(begin, static_cast<std::size_t>(end - begin)), "\r\n");
}

struct SearchCase {
  std::string name;
  Search search;
  Search plain;
};

using ByteSearchTest = KernelTest<SearchCase>;

TEST_P(ByteSearchTest, FindsWhatAPlainLoopFinds) {
  const SearchCase& c = TestCase();
  std::mt19937_64 random(42);
  constexpr std::string_view kBytes = ":/ \r\n";
  for (int round = 0; round < 20'000; ++round) {
    // The stretch ends where its allocation does, so that the sanitizer sees
    // any read past it; the offset moves its start across alignments.
    const std::size_t size = random() % 200;
    const std::size_t offset = random() % 64;
    const std::unique_ptr<char[]> block(new char[offset + size]);
    char* const begin = block.get() + offset;
    char* const end = begin + size;
    // Mostly filler, sometimes dense with the bytes that matter.
    const unsigned density = 1 + random() % 64;
    for (char* p = begin; p < end; ++p) {
      *p = random() % density == 0 ? kBytes[random() % kBytes.size()] : 'a';
    }
    ASSERT_EQ(c.search(begin, end) - begin, c.plain(begin, end) - begin)
        << "round " << round << ": " << std::string_view(begin, size);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kernels, ByteSearchTest,
    testing::Combine(testing::ValuesIn(kSearchKernels),
                     testing::Values(SearchCase{"SchemeSeparator", FindSchemeSeparator,
                                                PlainSchemeSeparator},
                                     SearchCase{"LinkEnd", FindLinkEnd, PlainLinkEnd},
                                     SearchCase{"LineEnd", FindLineEnd, PlainLineEnd})),
    KernelCaseName());

TEST(SearchKernel, ScalarRunsEverywhereAndTheChoiceSticks) {
  const SearchKernel usual = ActiveSearchKernel();
  EXPECT_TRUE(CanRunSearchKernel(usual));
  EXPECT_TRUE(ForceSearchKernel(SearchKernel::kScalar));
  EXPECT_EQ(ActiveSearchKernel(), SearchKernel::kScalar);
  EXPECT_EQ(ForceSearchKernel(SearchKernel::kAvx2), CanRunSearchKernel(SearchKernel::kAvx2));
  ForceSearchKernel(usual);
  EXPECT_EQ(ActiveSearchKernel(), usual);
}

}  // namespace
}  // namespace linksift
