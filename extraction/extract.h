#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "extraction_error.h"
#include "link_rule.h"

namespace linksift {

inline constexpr std::size_t kDefaultBlockSize = 4 * 1024 * 1024;

struct RunOptions {
  // Bytes read or mapped at a time; tests shrink it to move block edges around.
  std::size_t block_size = kDefaultBlockSize;
};

// Writes the first link of every line of `input` to `output`, one per line
// with CR LF, and returns how many it wrote. CR, LF and CR LF end a line.
// The output is replaced atomically: on any failure it keeps its old content
// and an ExtractionError is thrown.
LinkCount ExtractLinksFromFile(const std::filesystem::path& input,
                               const std::filesystem::path& output, const RunOptions& options = {});

}  // namespace linksift
