// The link rule, case by case, on the scanner that runs and on the tests'
// reference, line by line, which the scanner's random tests compare it with.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "link_output.h"
#include "test_support.h"
#include "text_scanner.h"

namespace linksift {
namespace {
using namespace testing_support;

struct RuleCase {
  std::string name;
  std::string line;
  std::optional<std::string> link;
};

class ExtractLinkTest : public testing::TestWithParam<RuleCase> {};

TEST_P(ExtractLinkTest, FindsTheFirstLink) {
  const RuleCase& c = GetParam();
  StringSink sink;
  TextScanner scanner(sink);
  scanner.Feed(c.line + "\r\n");
  scanner.Finish();
  EXPECT_EQ(sink.text, c.link ? *c.link + "\r\n" : "") << "scanner: " << c.line;
  const auto reference = ExtractLink(c.line);
  EXPECT_EQ(reference ? std::optional<std::string>(*reference) : std::nullopt, c.link)
      << "reference: " << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Rule, ExtractLinkTest,
    testing::Values(RuleCase{"EmptyLine", "", std::nullopt},
                    RuleCase{"NoLink", "no link here", std::nullopt},
                    RuleCase{"OtherSchemeIsNoLink", "only https://ab/c here", std::nullopt},
                    RuleCase{"BrokenPrefixes", "http:/ab http//ab http:\\\\ab", std::nullopt},
                    RuleCase{"UpperCaseKeptAsWritten", "see HTTP://Ab/Cd, next", "HTTP://Ab/Cd"},
                    RuleCase{"MixedCase", "mixed hTtP://X next", "hTtP://X"},
                    RuleCase{"OnlyTheFirstLink", "a http://ab/c; http://de/f end", "http://ab/c"},
                    RuleCase{"OneMarkDropped", "go http://ab/c.. now", "http://ab/c."},
                    RuleCase{"BracketsBelongToTheLink", "(http://ab/(c)) next", "http://ab/(c))"},
                    RuleCase{"PrefixInsideAWord", "url=http://ab/c next", "http://ab/c"},
                    RuleCase{"TabBelongsToTheLink", "x http://ab/c\tmore end", "http://ab/c\tmore"},
                    RuleCase{"PrefixInsidePrefix", "xhttp://http://ab y", "http://http://ab"},
                    RuleCase{"QuoteBelongsToTheLink", "say \"http://ab/c\" or <http://d>",
                             "http://ab/c\""},
                    RuleCase{"OtherMarksKept", "ends http://ab/c!", "http://ab/c!"},
                    // A link that ends its line keeps its last character.
                    RuleCase{"LinkEndsTheLine", "see http://ab/c", "http://ab/c"},
                    RuleCase{"MarkEndsTheLine", "see http://ab/c.", "http://ab/c"},
                    RuleCase{"TwoMarksEndTheLine", "see http://ab/c..", "http://ab/c."},
                    RuleCase{"PrefixAlone", "x http://", "http://"},
                    RuleCase{"PrefixAndAMark", "http://:", "http://"},
                    RuleCase{"ColonKeptBeforeASemicolon", "http://ab:; x", "http://ab:"},
                    // Letters outside A-Z do not fold, and other bytes pass through unchanged.
                    RuleCase{"NonAsciiLetterDoesNotFold", "\xC8TTP://ab", std::nullopt},
                    RuleCase{"RawBytesPassThrough", std::string("a http://\x00\xff\xe9", 12),
                             std::string("http://\x00\xff\xe9", 10)}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace linksift
