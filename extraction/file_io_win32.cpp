#include <windows.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

#include "extraction_error.h"
#include "file_io.h"

namespace linksift {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void Fail(Stage stage, const fs::path& path, DWORD error) {
  throw ExtractionError(stage, path,
                        std::error_code(static_cast<int>(error), std::system_category()));
}

[[noreturn]] void FailIsDirectory(Stage stage, const fs::path& path) {
  throw ExtractionError(stage, path, std::make_error_code(std::errc::is_a_directory));
}

HANDLE Handle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t Store(HANDLE handle) {
  return reinterpret_cast<std::intptr_t>(handle);
}

bool IsDirectory(const fs::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

fs::path DirectoryOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(L".");
}

fs::path TemporaryPath(const fs::path& target) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name = L".";
  name.append(target.filename().wstring()).append(L".linksift-");
  for (std::uint64_t bits = random(), i = 0; i < 8; ++i, bits >>= 4) name += kDigits[bits & 15];
  return DirectoryOf(target) / name.append(L".tmp");
}

// Marks an open file for deletion when its last handle closes, so that a run
// killed midway leaves no temporary behind. False where the file system cannot.
bool SetDeletePending(HANDLE file, bool pending) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = pending ? TRUE : FALSE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}

// Writes all of `size` bytes; WriteFile takes at most a DWORD's worth at a time.
DWORD WriteAll(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr)) return ::GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    data += written;
    size -= written;
  }
  return ERROR_SUCCESS;
}

// The kind of object `path` names: a disk file, a pipe, a device such as NUL;
// FILE_TYPE_UNKNOWN when it does not exist.
DWORD KindOf(const fs::path& path) {
  const HANDLE probe =
      ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return FILE_TYPE_UNKNOWN;
  const DWORD kind = ::GetFileType(probe);
  ::CloseHandle(probe);
  return kind;
}

}  // namespace

std::string SystemReason(std::error_code code) {
  if (code.category() != std::system_category()) return code.message();
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code.value()), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const std::unique_ptr<wchar_t, decltype(&::LocalFree)> owner(text, &::LocalFree);
  if (length == 0) return "error " + std::to_string(code.value());
  std::wstring_view wide(text, length);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ')) {
    wide.remove_suffix(1);
  }
  // The system's text comes in UTF-16; the ANSI form std::error_code gives
  // would turn Cyrillic into mojibake once read as UTF-8.
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
  return utf8;
}

InputFile::InputFile(const fs::path& path, const std::atomic<bool>* cancel)
    : path_(path), cancel_(cancel) {
  // Share delete too, so that picking the output itself as the input still
  // lets the finished run replace it.
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // Windows refuses a directory as "access denied", which sends the user looking in the wrong
    // place.
    if (error == ERROR_ACCESS_DENIED && IsDirectory(path)) FailIsDirectory(Stage::kOpenInput, path);
    Fail(Stage::kOpenInput, path, error);
  }
  handle_ = Store(file);
  regular_ = ::GetFileType(file) == FILE_TYPE_DISK;
  LARGE_INTEGER size = {};
  if (regular_ && ::GetFileSizeEx(file, &size)) size_ = static_cast<std::uint64_t>(size.QuadPart);
}

InputFile::~InputFile() {
  ::CloseHandle(Handle(handle_));
}

void InputFile::ForEachBlock(std::size_t block_size, const Consumer& consume) {
  ReadBlocks(block_size, consume);
}

void InputFile::ReadBlocks(std::size_t block_size, const Consumer& consume) {
  const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(block_size, 1u << 30));
  const std::unique_ptr<char[]> buffer(new char[chunk]);
  for (;;) {
    if (!regular_) WaitForData();
    DWORD got = 0;
    if (!::ReadFile(Handle(handle_), buffer.get(), chunk, &got, nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_BROKEN_PIPE) return;  // The writer has closed its end.
      Fail(Stage::kRead, path_, error);
    }
    if (got == 0) return;
    consume(std::string_view(buffer.get(), got));
  }
}

// A pipe may stay silent for as long as its writer likes; a cancel must not wait for it.
void InputFile::WaitForData() {
  if (cancel_ == nullptr || ::GetFileType(Handle(handle_)) != FILE_TYPE_PIPE) return;
  for (;;) {
    if (cancel_->load(std::memory_order_relaxed)) throw ExtractionCancelled();
    DWORD available = 0;
    // A failure (a closed pipe) is left for ReadFile to report.
    if (!::PeekNamedPipe(Handle(handle_), nullptr, 0, nullptr, &available, nullptr)) return;
    if (available > 0) return;
    ::Sleep(20);
  }
}

ReplacementFile::ReplacementFile(const fs::path& target) : target_(target), resolved_(target) {
  if (IsDirectory(resolved_)) FailIsDirectory(Stage::kCreateOutput, target_);
  const DWORD kind = KindOf(resolved_);
  if (kind != FILE_TYPE_UNKNOWN && kind != FILE_TYPE_DISK) {
    OpenInPlace();
    return;
  }
  // A write-protected output stays as it is, as it would if written in place.
  const DWORD attributes = ::GetFileAttributesW(resolved_.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    Fail(Stage::kCreateOutput, target_, ERROR_ACCESS_DENIED);
  }
  if (CreateNamed() != 0) Abandon(static_cast<int>(::GetLastError()));
}

// A device or a pipe has no content to keep, and replacing it would be wrong.
void ReplacementFile::OpenInPlace() {
  const HANDLE file =
      ::CreateFileW(resolved_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail(Stage::kCreateOutput, target_, ::GetLastError());
  handle_ = Store(file);
  in_place_ = true;
}

// Returns 0 once the temporary is open, or -1 with the reason in GetLastError().
int ReplacementFile::CreateNamed() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path name = TemporaryPath(resolved_);
    const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS) continue;
    if (file == INVALID_HANDLE_VALUE) return -1;
    handle_ = Store(file);
    temporary_ = name;
    delete_pending_ = SetDeletePending(file, true);
    return 0;
  }
  ::SetLastError(ERROR_FILE_EXISTS);
  return -1;
}

void ReplacementFile::Abandon(int error) {
  Discard();
  Fail(Stage::kCreateOutput, target_, static_cast<DWORD>(error));
}

ReplacementFile::~ReplacementFile() {
  if (!committed_) Discard();
}

void ReplacementFile::Discard() noexcept {
  if (handle_ != -1) ::CloseHandle(Handle(handle_));
  handle_ = -1;
  if (!temporary_.empty()) ::DeleteFileW(temporary_.c_str());
  temporary_.clear();
}

void ReplacementFile::Write(const char* data, std::size_t size) {
  if (const DWORD error = WriteAll(Handle(handle_), data, size))
    Fail(Stage::kWrite, target_, error);
}

void ReplacementFile::Commit() {
  if (in_place_) return CloseInPlace();
  const HANDLE file = Handle(handle_);
  if (!::FlushFileBuffers(file)) Fail(Stage::kWrite, target_, ::GetLastError());
  if (delete_pending_ && !SetDeletePending(file, false)) {
    Fail(Stage::kReplace, target_, ::GetLastError());
  }
  handle_ = -1;
  if (!::CloseHandle(file)) Fail(Stage::kWrite, target_, ::GetLastError());
  if (!::MoveFileExW(temporary_.c_str(), resolved_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    Fail(Stage::kReplace, target_, ::GetLastError());
  }
  temporary_.clear();
  committed_ = true;
}

void ReplacementFile::CloseInPlace() {
  const HANDLE file = Handle(handle_);
  handle_ = -1;
  committed_ = true;
  if (!::CloseHandle(file)) Fail(Stage::kWrite, target_, ::GetLastError());
}

}  // namespace linksift
