// The Windows driver killed midway: its temporary is set to vanish with the
// last handle until the moment it is put in place.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

// The build may run on Linux with the tests under Wine, which shows / as drive Z:.
fs::path DriverPath() {
  std::string path = LINKSIFT_EXTRACT_EXE;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  return fs::path(path).make_preferred();
}

using DriverTest = TempDirTest;

TEST_F(DriverTest, KilledRunLeavesNoTemporary) {
  const fs::path output = dir_ / "urls.txt";
  WriteFile(output, "old\r\n");
  PipeWriter pipe;
  std::wstring command = L"\"" + DriverPath().wstring() + L"\" \"" + pipe.path().wstring() +
                         L"\" \"" + output.wstring() + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
      << ::GetLastError();
  pipe.Send("http://a\r\n");
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (CountTemporaries(dir_) == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(CountTemporaries(dir_), 1u) << "the run never created its temporary";
  ::TerminateProcess(process.hProcess, 9);
  ::WaitForSingleObject(process.hProcess, 5000);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  for (int i = 0; i < 100 && CountTemporaries(dir_) > 0; ++i) std::this_thread::sleep_for(20ms);
  EXPECT_EQ(CountTemporaries(dir_), 0u);
  EXPECT_EQ(ReadFile(output), "old\r\n");
}

}  // namespace
}  // namespace linksift
