#include "link_rule.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace linksift {
namespace {

struct RuleCase {
  std::string line;
  std::optional<std::string> link;
};

class ExtractLinkTest : public testing::TestWithParam<RuleCase> {};

TEST_P(ExtractLinkTest, FindsTheFirstLink) {
  const RuleCase& c = GetParam();
  const auto got = ExtractLink(c.line);
  EXPECT_EQ(got ? std::optional<std::string>(*got) : std::nullopt, c.link) << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Rule, ExtractLinkTest,
    testing::Values(RuleCase{"", std::nullopt}, RuleCase{"no link here", std::nullopt},
                    RuleCase{"only https://ab/c here", std::nullopt},
                    RuleCase{"http:/ab http//ab http:\\\\ab", std::nullopt},
                    RuleCase{"see HTTP://Ab/Cd, next", "HTTP://Ab/Cd"},
                    RuleCase{"mixed hTtP://X next", "hTtP://X"},
                    RuleCase{"a http://ab/c; http://de/f end", "http://ab/c"},
                    RuleCase{"go http://ab/c.. now", "http://ab/c."},
                    RuleCase{"(http://ab/(c)) next", "http://ab/(c))"},
                    RuleCase{"url=http://ab/c next", "http://ab/c"},
                    RuleCase{"x http://ab/c\tmore end", "http://ab/c\tmore"},
                    RuleCase{"xhttp://http://ab y", "http://http://ab"},
                    RuleCase{"say \"http://ab/c\" or <http://d>", "http://ab/c\""},
                    RuleCase{"ends http://ab/c!", "http://ab/c!"},
                    // A link that ends its line keeps its last character.
                    RuleCase{"see http://ab/c", "http://ab/c"},
                    RuleCase{"see http://ab/c.", "http://ab/c"},
                    RuleCase{"see http://ab/c..", "http://ab/c."}, RuleCase{"x http://", "http://"},
                    RuleCase{"http://:", "http://"}, RuleCase{"http://ab:; x", "http://ab:"},
                    // Letters outside A-Z do not fold, and other bytes pass through unchanged.
                    RuleCase{"\xC8TTP://ab", std::nullopt},
                    RuleCase{std::string("a http://\x00\xff\xe9", 12),
                             std::string("http://\x00\xff\xe9", 10)}));

}  // namespace
}  // namespace linksift
