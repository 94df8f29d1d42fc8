// Each search kernel against a plain loop, on short random stretches at every
// alignment, where vector loops hand over to their scalar tails; bytes and
// UTF-16 code units.
#include "byte_search.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link_rule.h"
#include "stream_cases.h"
#include "test_support.h"
#include "unit_search.h"

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

// The code-unit searches against a plain loop over the units, in both byte
// orders, among units that hold the wanted bytes in one of their halves.
using UnitSearch = const char* (*)(ByteOrder, const char*, const char*);

struct UnitSearchCase {
  std::string name;
  UnitSearch search;
  std::u16string wanted;  // the units, in order, that make a match
  bool sequence;          // all of `wanted` in a row, or any one of them
  ByteOrder order;
};

std::size_t PlainUnitSearch(const UnitSearchCase& c, const std::u16string& units) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (!c.sequence && c.wanted.find(units[i]) != std::u16string::npos) return i;
    if (c.sequence && units.compare(i, c.wanted.size(), c.wanted) == 0) return i;
  }
  return units.size();
}

using UnitSearchTest = KernelTest<UnitSearchCase>;

TEST_P(UnitSearchTest, FindsWhatAPlainLoopFinds) {
  const UnitSearchCase& c = TestCase();
  std::mt19937_64 random(43);
  constexpr std::u16string_view kUnits = u":/ \r\n\u0D0A\u3A2F\u2F2F\u2020\u0A00\u2000\u3A00";
  for (int round = 0; round < 20'000; ++round) {
    const std::size_t size = random() % 100;
    const std::size_t offset = random() % 64;
    std::u16string units(size, u'a');
    const unsigned density = 1 + random() % 64;
    for (char16_t& unit : units) {
      if (random() % density == 0) unit = kUnits[random() % kUnits.size()];
    }
    const std::string bytes = Utf16Stream(units, c.order).substr(2);
    // As above: the stretch ends where its allocation does, at any alignment.
    const std::unique_ptr<char[]> block(new char[offset + bytes.size()]);
    char* const begin = block.get() + offset;
    std::copy(bytes.begin(), bytes.end(), begin);
    ASSERT_EQ(c.search(c.order, begin, begin + bytes.size()) - begin,
              2 * static_cast<std::ptrdiff_t>(PlainUnitSearch(c, units)))
        << "round " << round;
  }
}

std::vector<UnitSearchCase> UnitSearchCases() {
  std::vector<UnitSearchCase> cases;
  for (const auto& [name, order] : {std::pair{"LittleEndian", ByteOrder::kLittleEndian},
                                    std::pair{"BigEndian", ByteOrder::kBigEndian}}) {
    cases.push_back(
        {std::string(name) + "SchemeSeparator", FindSchemeSeparator16, u"://", true, order});
    cases.push_back({std::string(name) + "LinkEnd", FindLinkEnd16, u" \r\n", false, order});
    cases.push_back({std::string(name) + "LineEnd", FindLineEnd16, u"\r\n", false, order});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Kernels, UnitSearchTest,
                         testing::Combine(testing::ValuesIn(kSearchKernels),
                                          testing::ValuesIn(UnitSearchCases())),
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
