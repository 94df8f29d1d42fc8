#include "link_rule.h"

#include <gtest/gtest.h>

namespace linksift {
namespace {

TEST(ExtractLink, Smoke) { EXPECT_EQ(ExtractLink("see http://ab/c"), "http://ab/c"); }

}  // namespace
}  // namespace linksift
