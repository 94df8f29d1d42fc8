#include "win32_test_support.h"

#include <random>
#include <stdexcept>

namespace linksift::testing_support {

PipeWriter::PipeWriter() {
  std::mt19937_64 random{std::random_device{}()};
  path_ = L"\\\\.\\pipe\\linksift-test-" + std::to_wstring(random());
  pipe_ = ::CreateNamedPipeW(path_.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                             65536, 65536, 0, nullptr);
  if (pipe_ == INVALID_HANDLE_VALUE) throw std::runtime_error("CreateNamedPipeW failed");
}

PipeWriter::~PipeWriter() {
  Close();
}

void PipeWriter::Send(const std::string& bytes) {
  if (!connected_) {
    // ERROR_PIPE_CONNECTED: the reader came first, which is just as good.
    connected_ = ::ConnectNamedPipe(pipe_, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED;
  }
  DWORD written = 0;
  if (!::WriteFile(pipe_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    throw std::runtime_error("WriteFile to the pipe failed");
  }
}

void PipeWriter::Close() {
  if (pipe_ == INVALID_HANDLE_VALUE) return;
  // Waits until the reader has taken everything; closing then reads as the end.
  if (connected_) ::FlushFileBuffers(pipe_);
  ::CloseHandle(pipe_);
  pipe_ = INVALID_HANDLE_VALUE;
}

std::size_t CountTemporaries(const std::filesystem::path& directory) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    const std::wstring name = entry.path().filename().wstring();
    if (name.find(L".linksift-") != std::wstring::npos && name.ends_with(L".tmp")) ++count;
  }
  return count;
}

}  // namespace linksift::testing_support
