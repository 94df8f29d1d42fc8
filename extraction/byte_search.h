#pragma once

// Vectorised searches for the few bytes the link scanner cares about. Each
// returns `end` when nothing is found.
namespace linksift {

// First p with p[0..2] == "://" and p + 2 < end.
const char* FindSchemeSeparator(const char* begin, const char* end);

// First blank, CR or LF: the bytes that end a link.
const char* FindLinkEnd(const char* begin, const char* end);

// First CR or LF.
const char* FindLineEnd(const char* begin, const char* end);

}  // namespace linksift
