// Each search kernel against a plain loop, on short random stretches at every
// alignment, where vector loops hand over to their scalar tails; bytes and
// UTF-16 code units.
#include "byte_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
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

// Mostly `filler`, sometimes dense with `symbols`, the ones a search looks for.
template <typename Char>
std::basic_string<Char> RandomText(std::mt19937_64& random, std::size_t size,
                                   std::basic_string_view<Char> symbols, Char filler) {
  std::basic_string<Char> text(size, filler);
  const unsigned density = 1 + random() % 64;
  for (Char& c : text) {
    if (random() % density == 0) c = symbols[random() % symbols.size()];
  }
  return text;
}

// `bytes` copied `offset` bytes into an allocation that ends where they do, so
// that the sanitizer sees any read past them; the offset moves their start
// across alignments.
struct Placed {
  Placed(std::string_view bytes, std::size_t offset) : block(new char[offset + bytes.size()]) {
    begin = block.get() + offset;
    end = std::copy(bytes.begin(), bytes.end(), begin);
  }
  std::unique_ptr<char[]> block;
  char* begin;
  char* end;
};

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
    const std::string text = RandomText(random, random() % 200, kBytes, 'a');
    const Placed at(text, random() % 64);
    ASSERT_EQ(c.search(at.begin, at.end) - at.begin, c.plain(at.begin, at.end) - at.begin)
        << "round " << round << ": " << text;
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
    std::u16string units = RandomText(random, random() % 100, kUnits, u'a');
    // Now and then what is sought ends the text, where a search must still see it.
    if (round % 16 == 0) units += c.sequence ? c.wanted : c.wanted.substr(c.wanted.size() - 1);
    const Placed at(Utf16Stream(units, c.order).substr(2), random() % 64);
    ASSERT_EQ(c.search(c.order, at.begin, at.end) - at.begin,
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

// What the system says this processor has, not what the code asks of it:
// the kernel it should start on, or nothing where the system does not say.
std::optional<SearchKernel> FastestKernelByCpuinfo() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (!line.starts_with("flags")) continue;
    line += ' ';
    const bool avx2 =
        line.find(" avx2 ") != std::string::npos && line.find(" bmi1 ") != std::string::npos;
    return avx2 ? SearchKernel::kAvx2 : SearchKernel::kScalar;
  }
  return std::nullopt;
}

TEST(SearchKernel, StartsOnTheFastestTheProcessorHasAndCanBeForced) {
  const std::optional<SearchKernel> fastest = FastestKernelByCpuinfo();
  if (!fastest) GTEST_SKIP() << "no /proc/cpuinfo to say what this processor has";
  const SearchKernel usual = ActiveSearchKernel();
  EXPECT_EQ(usual, *fastest);
  EXPECT_TRUE(ForceSearchKernel(SearchKernel::kScalar));
  EXPECT_EQ(ActiveSearchKernel(), SearchKernel::kScalar);
  EXPECT_EQ(ForceSearchKernel(SearchKernel::kAvx2), *fastest == SearchKernel::kAvx2);
  ForceSearchKernel(usual);
}

}  // namespace
}  // namespace linksift
