#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "display_check.h"

namespace linksift {
namespace {

TEST(DisplayCheck, SpeaksOnlyWhenThereIsNoDisplayAtAll) {
  struct Case {
    std::map<std::string, std::string> environment;
    bool complains;
  };
  const std::vector<Case> cases = {
      {{}, true},
      {{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, true},
      {{{"DISPLAY", ":0"}}, false},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, false},
      {{{"QT_QPA_PLATFORM", "offscreen"}}, false},
      {{{"QT_QPA_PLATFORM", ""}}, true},
  };
  for (const Case& c : cases) {
    const auto getenv = [&c](const char* name) -> const char* {
      const auto found = c.environment.find(name);
      return found == c.environment.end() ? nullptr : found->second.c_str();
    };
    const auto message = MissingDisplayMessage(getenv, "/opt/bin/linksift");
    ASSERT_EQ(message.has_value(), c.complains) << c.environment.size();
    if (!message) continue;
    EXPECT_EQ(message->find('\n'), std::string::npos);
    EXPECT_NE(message->find("xvfb-run -a /opt/bin/linksift"), std::string::npos) << *message;
  }
}

}  // namespace
}  // namespace linksift
