// The file layer's system calls on Windows.
#include <windows.h>

#include <algorithm>
#include <bit>
#include <memory>
#include <string>
#include <thread>
#include <variant>

#include "file_io_os.h"
#include "long_path_win32.h"
#include "utf16.h"

namespace linksift::os {
namespace fs = std::filesystem;

namespace {

std::error_code LastError() {
  return SystemError(static_cast<int>(::GetLastError()));
}

std::error_code Failed(BOOL result) {
  return result ? std::error_code() : LastError();
}

bool IsDirectory(const fs::path& path) {
  const DWORD attributes = ::GetFileAttributesW(ExtendedPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The kind of object `path` names: a disk file, a pipe, a device such as NUL;
// FILE_TYPE_UNKNOWN when it does not exist.
DWORD KindOf(const fs::path& path) {
  const HANDLE probe = ::CreateFileW(ExtendedPath(path).c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return FILE_TYPE_UNKNOWN;
  const DWORD kind = ::GetFileType(probe);
  ::CloseHandle(probe);
  return kind;
}

// Marks an open file for deletion when its last handle closes, so that a run
// killed midway leaves no temporary behind. False where the file system cannot.
bool SetDeletePending(HANDLE file, bool pending) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = pending ? TRUE : FALSE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}

// Windows has standard handles, not descriptors: 0, 1 and 2 stand for them.
std::error_code CopyStandardHandle(int descriptor, DWORD access, HANDLE& copy) {
  constexpr DWORD kHandles[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  if (descriptor < 0 || descriptor > 2) return SystemError(ERROR_INVALID_HANDLE);
  const HANDLE standard = ::GetStdHandle(kHandles[descriptor]);
  if (standard == nullptr || standard == INVALID_HANDLE_VALUE) {
    return SystemError(ERROR_INVALID_HANDLE);
  }
  const HANDLE process = ::GetCurrentProcess();
  return Failed(::DuplicateHandle(process, standard, process, &copy, access, FALSE, 0));
}

}  // namespace

void RecordGivenDescriptors(int) {}

std::error_code DescriptorBehind(const fs::path&, int& descriptor) {
  descriptor = -1;
  return {};
}

struct Input {
  HANDLE file = INVALID_HANDLE_VALUE;
  // A disk file's second handle, for reads at an offset that overlap: reads
  // through one synchronous handle are served one after the other.
  HANDLE overlapped = INVALID_HANDLE_VALUE;
  bool waits = false;  // a pipe read by a run that can be cancelled
};

namespace {

std::error_code LearnInput(Input& input, bool cancellable, InputFacts& facts) {
  const DWORD type = ::GetFileType(input.file);
  input.waits = cancellable && type == FILE_TYPE_PIPE;
  facts.regular = type == FILE_TYPE_DISK;
  LARGE_INTEGER size = {};
  LARGE_INTEGER position = {};
  // A file handed over part-read is read on from where it stands.
  if (facts.regular && ::SetFilePointerEx(input.file, {}, &position, FILE_CURRENT) &&
      position.QuadPart != 0) {
    facts.regular = false;
  }
  if (facts.regular && ::GetFileSizeEx(input.file, &size)) {
    facts.size = static_cast<std::uint64_t>(size.QuadPart);
  }
  // Where there is none, the first handle serves.
  if (facts.regular) {
    input.overlapped =
        ::ReOpenFile(input.file, GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_FLAG_OVERLAPPED);
  }
  return {};
}

// An event of this thread's own, for waiting on its overlapped reads; null
// where none can be made.
HANDLE ThreadEvent() {
  struct Event {
    HANDLE handle = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Event() {
      if (handle != nullptr) ::CloseHandle(handle);
    }
  };
  static thread_local const Event event;
  return event.handle;
}

}  // namespace

void Release(Input* input) noexcept {
  if (input->overlapped != INVALID_HANDLE_VALUE) ::CloseHandle(input->overlapped);
  if (input->file != INVALID_HANDLE_VALUE) ::CloseHandle(input->file);
  delete input;
}

std::error_code OpenInput(const fs::path& path, bool cancellable, InputPtr& input,
                          InputFacts& facts) {
  // Share delete too, so that picking the output itself as the input still
  // lets the finished run replace it.
  input.reset(new Input);
  input->file = ::CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (input->file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // Windows refuses a directory as "access denied", which sends the user
    // looking in the wrong place.
    if (error == ERROR_ACCESS_DENIED && IsDirectory(path)) {
      return std::make_error_code(std::errc::is_a_directory);
    }
    return SystemError(static_cast<int>(error));
  }
  return LearnInput(*input, cancellable, facts);
}

std::error_code OpenInputDescriptor(int descriptor, bool cancellable, InputPtr& input,
                                    InputFacts& facts) {
  input.reset(new Input);
  if (const std::error_code error = CopyStandardHandle(descriptor, GENERIC_READ, input->file)) {
    return error;
  }
  return LearnInput(*input, cancellable, facts);
}

std::error_code ReadSome(Input& input, char* buffer, std::size_t size, std::size_t& got) {
  DWORD read = 0;
  if (!::ReadFile(input.file, buffer, static_cast<DWORD>(size), &read, nullptr)) {
    if (::GetLastError() != ERROR_BROKEN_PIPE) return LastError();
    read = 0;  // The writer has closed its end.
  }
  got = read;
  return {};
}

std::error_code ReadSomeAt(Input& input, char* buffer, std::size_t size, std::uint64_t offset,
                           std::size_t& got) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  at.hEvent = input.overlapped != INVALID_HANDLE_VALUE ? ThreadEvent() : nullptr;
  const HANDLE file = at.hEvent != nullptr ? input.overlapped : input.file;
  DWORD read = 0;
  BOOL done = ::ReadFile(file, buffer, static_cast<DWORD>(size), &read, &at);
  if (file == input.overlapped && (done || ::GetLastError() == ERROR_IO_PENDING)) {
    done = ::GetOverlappedResult(file, &at, &read, TRUE);
  }
  if (!done) {
    if (::GetLastError() != ERROR_HANDLE_EOF) return LastError();
    read = 0;
  }
  got = read;
  return {};
}

std::error_code AwaitData(Input& input, bool& ready) {
  DWORD available = 0;
  // A failure (a closed pipe) is left for ReadFile to report.
  ready = !input.waits || !::PeekNamedPipe(input.file, nullptr, 0, nullptr, &available, nullptr) ||
          available > 0;
  if (!ready) ::Sleep(20);
  return {};
}

std::error_code InputSize(Input& input, std::uint64_t& size) {
  LARGE_INTEGER now = {};
  if (!::GetFileSizeEx(input.file, &now)) return LastError();
  size = static_cast<std::uint64_t>(now.QuadPart);
  return {};
}

namespace {

// A standard handle, a device or a pipe, written directly.
struct InPlace {};

// A file, or nothing yet: replaced through a temporary beside it.
struct ThroughTemporary {
  fs::path name;                // empty until made, and once renamed
  bool delete_pending = false;  // the system removes the temporary if the process dies
};

}  // namespace

struct Output {
  fs::path target;
  HANDLE file = INVALID_HANDLE_VALUE;
  std::variant<InPlace, ThroughTemporary> writing;
};

void Release(Output* output) noexcept {
  if (output->file != INVALID_HANDLE_VALUE) ::CloseHandle(output->file);
  if (const auto* temporary = std::get_if<ThroughTemporary>(&output->writing);
      temporary != nullptr && !temporary->name.empty()) {
    ::DeleteFileW(ExtendedPath(temporary->name).c_str());
  }
  delete output;
}

bool WrittenInPlace(const Output& output) {
  return std::holds_alternative<InPlace>(output.writing);
}

// Windows follows a link to a file itself: the name given is the file tried.
fs::path FileTried(const Output&) {
  return {};
}

std::error_code ResolveOutput(const fs::path& target, OutputPtr& output, TargetKind& kind) {
  const DWORD type = KindOf(target);
  kind = IsDirectory(target)         ? TargetKind::kDirectory
         : type == FILE_TYPE_UNKNOWN ? TargetKind::kMissing
         : type == FILE_TYPE_DISK    ? TargetKind::kFile
                                     : TargetKind::kDevice;
  output.reset(new Output);
  output->target = target;
  if (kind == TargetKind::kMissing || kind == TargetKind::kFile) {
    output->writing.emplace<ThroughTemporary>();
  }
  return {};
}

std::error_code AdoptOutputDescriptor(int descriptor, OutputPtr& output) {
  output.reset(new Output);
  return CopyStandardHandle(descriptor, GENERIC_WRITE, output->file);
}

std::error_code OpenInPlace(Output& output, bool& ready) {
  ready = true;
  output.file =
      ::CreateFileW(ExtendedPath(output.target).c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  return output.file == INVALID_HANDLE_VALUE ? LastError() : std::error_code();
}

std::error_code CheckWritable(Output& output) {
  const DWORD attributes = ::GetFileAttributesW(ExtendedPath(output.target).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return SystemError(ERROR_ACCESS_DENIED);
  }
  return {};
}

// Windows has no sweep: its temporaries are deleted on close.
std::error_code CreateTemporary(Output& output, const InputFacts&) {
  ThroughTemporary& temporary = std::get<ThroughTemporary>(output.writing);
  return CreateUnderFreshName(output.target, [&](const fs::path& name) {
    const fs::path path = DirectoryOf(output.target) / name;
    output.file = ::CreateFileW(ExtendedPath(path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output.file == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      return error == ERROR_FILE_EXISTS ? std::make_error_code(std::errc::file_exists)
                                        : SystemError(static_cast<int>(error));
    }
    temporary.name = path;
    temporary.delete_pending = SetDeletePending(output.file, true);
    return std::error_code();
  });
}

std::error_code WriteSome(Output& output, const char* data, std::size_t size,
                          std::size_t& written) {
  DWORD done = 0;
  if (!::WriteFile(output.file, data, static_cast<DWORD>(size), &done, nullptr)) return LastError();
  written = done;
  return done == 0 ? SystemError(ERROR_WRITE_FAULT) : std::error_code();
}

std::error_code AwaitRoom(Output&, bool& ready) {
  ready = true;  // WriteFile waits by itself.
  return {};
}

unsigned UsableCores() {
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process != 0) {
    return static_cast<unsigned>(std::popcount(static_cast<std::uint64_t>(process)));
  }
  // A process spread over processor groups has no mask to give.
  return std::max(std::thread::hardware_concurrency(), 1u);
}

void Pause() {
  ::Sleep(20);
}

// FlushFileBuffers at the end writes it all.
std::error_code StartWriteBack(Output&, std::uint64_t, std::uint64_t) {
  return std::make_error_code(std::errc::not_supported);
}

// The rename there waits for no cached pages.
void ForgetReplaced(const Output&, const InputFacts&, const std::atomic<bool>&) {}

std::error_code Flush(Output& output) {
  return Failed(::FlushFileBuffers(output.file));
}

// Until now the temporary would vanish with its handle.
std::error_code Settle(Output& output) {
  const ThroughTemporary& temporary = std::get<ThroughTemporary>(output.writing);
  return temporary.delete_pending && !SetDeletePending(output.file, false) ? LastError()
                                                                           : std::error_code();
}

std::error_code Close(Output& output) {
  const HANDLE file = output.file;
  output.file = INVALID_HANDLE_VALUE;
  return Failed(::CloseHandle(file));
}

std::error_code PutInPlace(Output& output) {
  ThroughTemporary& temporary = std::get<ThroughTemporary>(output.writing);
  if (!::MoveFileExW(ExtendedPath(temporary.name).c_str(), ExtendedPath(output.target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return LastError();
  }
  temporary.name.clear();
  return {};
}

}  // namespace linksift::os
