#include "unit_search.h"

#include "avx2.h"
#include "byte_search.h"
#include "link_rule.h"

namespace linksift {
namespace {

// The kernels below look for exactly three units.
static_assert(kSchemeSeparator.size() == 3);

// A unit as two bytes in memory read little-endian: what a 16-bit lane of a
// vector load holds, and what the scalar loops compare, in either byte order.
using Lane = std::uint16_t;

inline Lane LaneAt(const char* p) {
  return static_cast<Lane>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1])
                                                                  << 8);
}

// The units each search cares about, as lanes of the text's byte order.
struct Lanes {
  explicit Lanes(ByteOrder order)
      : colon(Of(order, kSchemeSeparator[0])),
        slash(Of(order, kSchemeSeparator[1])),
        blank(Of(order, ' ')),
        cr(Of(order, '\r')),
        lf(Of(order, '\n')) {}
  static Lane Of(ByteOrder order, char c) {
    const auto unit = static_cast<Lane>(c);
    return order == ByteOrder::kLittleEndian ? unit : static_cast<Lane>(unit << 8);
  }
  Lane colon, slash, blank, cr, lf;
};
static_assert(kSchemeSeparator[1] == kSchemeSeparator[2]);

const char* ScalarSchemeSeparator(const Lanes& l, const char* p, const char* end) {
  for (; end - p >= 6; p += 2) {
    if (LaneAt(p) == l.colon && LaneAt(p + 2) == l.slash && LaneAt(p + 4) == l.slash) return p;
  }
  return end;
}

bool IsLineEnd(const Lanes& l, Lane unit) {
  return unit == l.cr || unit == l.lf;
}
bool IsLinkEnd(const Lanes& l, Lane unit) {
  return unit == l.blank || IsLineEnd(l, unit);
}

// The first unit that is one of those IsWanted looks for.
template <bool (*IsWanted)(const Lanes&, Lane)>
const char* ScalarFind(const Lanes& l, const char* p, const char* end) {
  for (; p < end; p += 2) {
    if (IsWanted(l, LaneAt(p))) return p;
  }
  return end;
}

// One instruction set's three searches.
struct Kernel {
  const char* (*scheme_separator)(const Lanes&, const char*, const char*);
  const char* (*link_end)(const Lanes&, const char*, const char*);
  const char* (*line_end)(const Lanes&, const char*, const char*);
};

constexpr Kernel kScalar = {ScalarSchemeSeparator, ScalarFind<IsLinkEnd>, ScalarFind<IsLineEnd>};

#ifdef LINKSIFT_HAVE_AVX2_PATH

using avx2::Load;

// Two bits a unit that matches; the lowest set bit is the unit's first byte.
LINKSIFT_AVX2 inline unsigned Equal(const char* p, Lane lane) {
  const __m256i wanted = _mm256_set1_epi16(static_cast<short>(lane));
  return static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(Load(p), wanted)));
}

LINKSIFT_AVX2 inline unsigned SeparatorMask(const Lanes& l, const char* p) {
  return Equal(p, l.colon) & Equal(p + 2, l.slash) & Equal(p + 4, l.slash);
}

LINKSIFT_AVX2 const char* Avx2SchemeSeparator(const Lanes& l, const char* p, const char* end) {
  // Two vectors a step keep the loads busy on long runs of plain text.
  for (; end - p >= 64 + 4; p += 64) {
    const unsigned low = SeparatorMask(l, p);
    const unsigned high = SeparatorMask(l, p + 32);
    if ((low | high) != 0) return low != 0 ? p + _tzcnt_u32(low) : p + 32 + _tzcnt_u32(high);
  }
  for (; end - p >= 32 + 4; p += 32) {
    if (const unsigned m = SeparatorMask(l, p)) return p + _tzcnt_u32(m);
  }
  return ScalarSchemeSeparator(l, p, end);
}

LINKSIFT_AVX2 inline unsigned LineEndMask(const Lanes& l, const char* p) {
  return Equal(p, l.cr) | Equal(p, l.lf);
}
LINKSIFT_AVX2 inline unsigned LinkEndMask(const Lanes& l, const char* p) {
  return Equal(p, l.blank) | LineEndMask(l, p);
}

// Mask and IsWanted pick out the same units, a vector or one at a time.
template <unsigned (*Mask)(const Lanes&, const char*), bool (*IsWanted)(const Lanes&, Lane)>
LINKSIFT_AVX2 const char* Avx2Find(const Lanes& l, const char* p, const char* end) {
  for (; end - p >= 32; p += 32) {
    if (const unsigned m = Mask(l, p)) return p + _tzcnt_u32(m);
  }
  return ScalarFind<IsWanted>(l, p, end);
}

constexpr Kernel kAvx2 = {Avx2SchemeSeparator, Avx2Find<LinkEndMask, IsLinkEnd>,
                          Avx2Find<LineEndMask, IsLineEnd>};

#else
constexpr Kernel kAvx2 = kScalar;  // never chosen: CanRunSearchKernel says no
#endif  // LINKSIFT_HAVE_AVX2_PATH

// The byte searches' choice of kernel holds here too.
template <auto Kernel::*kSearch>
const char* Dispatch(ByteOrder order, const char* begin, const char* end) {
  const Lanes lanes(order);
  if (ActiveSearchKernel() == SearchKernel::kAvx2) return (kAvx2.*kSearch)(lanes, begin, end);
  return (kScalar.*kSearch)(lanes, begin, end);
}

}  // namespace

const char* FindSchemeSeparator16(ByteOrder order, const char* begin, const char* end) {
  return Dispatch<&Kernel::scheme_separator>(order, begin, end);
}

const char* FindLinkEnd16(ByteOrder order, const char* begin, const char* end) {
  return Dispatch<&Kernel::link_end>(order, begin, end);
}

const char* FindLineEnd16(ByteOrder order, const char* begin, const char* end) {
  return Dispatch<&Kernel::line_end>(order, begin, end);
}

}  // namespace linksift
