#pragma once

// Vectorised searches for the few bytes the link scanner cares about. Each
// returns `end` when nothing is found.
namespace linksift {

// First p with p[0..2] == kSchemeSeparator and p + 2 < end.
const char* FindSchemeSeparator(const char* begin, const char* end);

// First blank, CR or LF: the bytes that end a link.
const char* FindLinkEnd(const char* begin, const char* end);

// First CR or LF.
const char* FindLineEnd(const char* begin, const char* end);

// The ways the searches can run. At start-up they take the fastest one the
// processor has; tests force each in turn to run the same cases on all.
enum class SearchKernel { kScalar, kAvx2 };

SearchKernel ActiveSearchKernel();
bool CanRunSearchKernel(SearchKernel kernel);
// Makes the searches run on `kernel`; false, changing nothing, where the
// processor cannot. Not while a search runs on another thread.
bool ForceSearchKernel(SearchKernel kernel);

}  // namespace linksift
