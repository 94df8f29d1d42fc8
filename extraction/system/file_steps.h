#pragma once

// What the input and the output share around the system's calls.

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <system_error>

#include "extraction_error.h"

namespace linksift {

// Windows reads and writes at most a DWORD's worth at a time.
inline constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

inline void Check(Stage stage, const std::filesystem::path& path, std::error_code error,
                  const char* action = nullptr) {
  if (error) throw ExtractionError(stage, path, error, action);
}

inline void StopIf(const std::atomic<bool>* cancel) {
  if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) throw ExtractionCancelled();
}

}  // namespace linksift
