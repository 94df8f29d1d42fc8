#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "display_check.h"
#include "program_folders.h"

namespace linksift {
namespace {

using Environment = std::map<std::string, std::string>;

// The environment seam over a map, in place of the process's own.
EnvironmentLookup LookupIn(const Environment& environment) {
  return [&environment](const char* name) -> const char* {
    const auto found = environment.find(name);
    return found == environment.end() ? nullptr : found->second.c_str();
  };
}

TEST(DisplayCheck, SpeaksOnlyWhenThereIsNoDisplayAtAll) {
  struct Case {
    Environment environment;
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
    const auto message = MissingDisplayMessage(LookupIn(c.environment), "/opt/bin/linksift");
    ASSERT_EQ(message.has_value(), c.complains) << c.environment.size();
    if (!message) continue;
    EXPECT_EQ(message->find('\n'), std::string::npos);
    EXPECT_NE(message->find("xvfb-run -a /opt/bin/linksift"), std::string::npos) << *message;
  }
}

TEST(LinuxOutputFolders, TheProgramsFolderAndTheDataFolderTheEnvironmentNames) {
  struct Case {
    Environment environment;
    std::filesystem::path user_data;
  };
  const std::vector<Case> cases = {
      {{{"XDG_DATA_HOME", "/x/data"}, {"HOME", "/home/u"}}, "/x/data/linksift"},
      {{{"HOME", "/home/u"}}, "/home/u/.local/share/linksift"},
      // Only an absolute setting counts.
      {{{"XDG_DATA_HOME", "data"}, {"HOME", "/home/u"}}, "/home/u/.local/share/linksift"},
      {{{"XDG_DATA_HOME", ""}, {"HOME", "/home/u"}}, "/home/u/.local/share/linksift"},
      {{{"XDG_DATA_HOME", "/x/data"}}, "/x/data/linksift"},
      {{{"HOME", "u"}}, ""},
      {{}, ""},
  };
  const std::filesystem::path program =
      std::filesystem::read_symlink("/proc/self/exe").parent_path();
  for (const Case& c : cases) {
    const OutputFolders folders = LinuxOutputFolders(LookupIn(c.environment));
    EXPECT_EQ(folders.user_data, c.user_data) << c.user_data;
    EXPECT_EQ(folders.program, program);
    EXPECT_FALSE(folders.program_unknown);
  }
}

}  // namespace
}  // namespace linksift
