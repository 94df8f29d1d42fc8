#include <windows.h>

#include <random>
#include <stdexcept>
#include <string>

#include "pipe_writer.h"

namespace linksift::testing_support {
namespace {

HANDLE Handle(std::intptr_t end) {
  return reinterpret_cast<HANDLE>(end);
}

}  // namespace

// The server's end, the writer, exists from the start: Writer makes no
// difference here. Named pipes live under \\.\pipe\ only.
PipeWriter::PipeWriter(Writer, std::filesystem::path path) {
  if (!path.empty()) throw std::invalid_argument("a named pipe cannot be at " + path.string());
  std::mt19937_64 random{std::random_device{}()};
  path_ = L"\\\\.\\pipe\\linksift-test-" + std::to_wstring(random());
  const HANDLE pipe = ::CreateNamedPipeW(path_.c_str(), PIPE_ACCESS_OUTBOUND,
                                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) throw std::runtime_error("CreateNamedPipeW failed");
  end_ = reinterpret_cast<std::intptr_t>(pipe);
}

PipeWriter::~PipeWriter() {
  Close();
}

void PipeWriter::Send(std::string_view bytes) {
  if (!connected_) {
    // ERROR_PIPE_CONNECTED: the reader came first, which is just as good.
    connected_ =
        ::ConnectNamedPipe(Handle(end_), nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED;
  }
  DWORD written = 0;
  if (!::WriteFile(Handle(end_), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr)) {
    throw std::runtime_error("WriteFile to the pipe failed");
  }
}

void PipeWriter::Close() {
  if (end_ == -1) return;
  // Waits until the reader has taken everything; closing then reads as the end.
  if (connected_) ::FlushFileBuffers(Handle(end_));
  ::CloseHandle(Handle(end_));
  end_ = -1;
}

}  // namespace linksift::testing_support
