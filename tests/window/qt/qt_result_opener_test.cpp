#include "qt_result_opener.h"

#include <gtest/gtest.h>

#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "test_support.h"

namespace linksift {
namespace {

using namespace testing_support;

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

TEST(FileUrl, IsThePathsBytesPercentEncodedWithAnEmptyHost) {
  const std::map<std::string, std::string> cases = {
      {"/opt/linksift/urls.txt", "file:///opt/linksift/urls.txt"},
      {"/tmp/bad\xff\xfename/urls.txt", "file:///tmp/bad%FF%FEname/urls.txt"},
      {"//tmp/data/urls.txt", "file:///tmp/data/urls.txt"},
      {"/д о/#?%;+/urls.txt", "file:///%D0%B4%20%D0%BE/%23%3F%25%3B%2B/urls.txt"},
      {"/a//b/~x_y-z.txt", "file:///a/b/~x_y-z.txt"},
  };
  for (const auto& [path, url] : cases) EXPECT_EQ(FileUrl(path).toStdString(), url) << path;
}

// The desktop's opener (xdg-open) is a stand-in on PATH that notes what it
// is given and ends as told; no session bus, so the folder goes to it too.
class QtResultOpenerTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::filesystem::create_directory(dir_ / "bin");
    saved_path_ = Variable("PATH");
    saved_bus_ = Variable("DBUS_SESSION_BUS_ADDRESS");
    qputenv("PATH", QByteArray::fromStdString((dir_ / "bin").string()));
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
  }
  void TearDown() override {
    qputenv("PATH", QByteArray::fromStdString(saved_path_.value_or("")));
    if (saved_bus_) {
      qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString(*saved_bus_));
    } else {
      qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    TempDirTest::TearDown();
  }
  void OpenerEndsWith(int status) {
    const std::filesystem::path opener = dir_ / "bin" / "xdg-open";
    WriteFile(opener, "#!/bin/sh\nprintf '%s\\n' \"$1\" >>'" + (dir_ / "opened").string() +
                          "'\nexit " + std::to_string(status) + "\n");
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  }
  // What `act` made the opener fail with, once it has ended.
  std::optional<std::string> Failure(void (QtResultOpener::*act)(const std::filesystem::path&,
                                                                 ResultOpener::Failed)) {
    QObject context;
    QtResultOpener opener(&context);
    std::optional<std::string> failure;
    (opener.*act)(file_, [&](const std::string& reason) { failure = reason; });
    // The opener's process is let go of once it has ended.
    EXPECT_TRUE(QTest::qWaitFor([&] { return context.children().isEmpty(); }))
        << "the opener never ended";
    return failure;
  }
  std::string Opened() const { return ReadFile(dir_ / "opened"); }

  std::filesystem::path file_ = dir_ / "bad\xff" / "urls.txt";
  std::optional<std::string> saved_path_;
  std::optional<std::string> saved_bus_;
};

TEST_F(QtResultOpenerTest, OpensTheFileOrItsFolderAndSaysWhyNot) {
  const std::string folder = "file://" + dir_.string() + "/bad%FF";
  struct Case {
    const char* what;
    void (QtResultOpener::*act)(const std::filesystem::path&, ResultOpener::Failed);
    std::optional<int> status;  // none: no xdg-open at all
    std::string opened;
    std::optional<std::string> failure;
  };
  const Case cases[] = {
      {"urls.txt opened", &QtResultOpener::Open, 0, folder + "/urls.txt\n", std::nullopt},
      {"its folder opened", &QtResultOpener::ShowInFolder, 0, folder + "\n", std::nullopt},
      {"no program for it", &QtResultOpener::Open, 3, folder + "/urls.txt\n",
       "В системе не задана программа для открытия"},
      {"its program failed", &QtResultOpener::ShowInFolder, 4, folder + "\n",
       "Программа для открытия завершилась с ошибкой"},
      {"no opener", &QtResultOpener::Open, std::nullopt, "", "Не найдена программа xdg-open"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(dir_ / "opened");
    std::filesystem::remove(dir_ / "bin" / "xdg-open");
    if (c.status) OpenerEndsWith(*c.status);
    EXPECT_EQ(Failure(c.act), c.failure) << c.what;
    EXPECT_EQ(c.status ? Opened() : "", c.opened) << c.what;
  }
}

}  // namespace
}  // namespace linksift
