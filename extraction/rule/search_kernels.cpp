// The searches of byte_search.h and unit_search.h: one kernel per
// instruction set, written once over the code unit (a byte, or two bytes of
// UTF-16 in either order).
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>

#include "avx2.h"
#include "byte_search.h"
#include "link_rule.h"
#include "unit_search.h"

namespace linksift {
namespace {

// The kernels below look for exactly three units, the last two alike.
static_assert(kSchemeSeparator.size() == 3);
static_assert(kSchemeSeparator[1] == kSchemeSeparator[2]);

// A code unit as it lies in memory: a byte, or two bytes read little-endian,
// which is what a 16-bit lane of a vector load holds, in either byte order.
template <typename Lane>
Lane LaneAt(const char* p) {
  if constexpr (sizeof(Lane) == 1) {
    return static_cast<Lane>(*p);
  } else {
    return static_cast<Lane>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1])
                                                                    << 8);
  }
}

// The units the searches look for, as lanes of the text's byte order.
template <typename Lane>
struct Needles {
  static constexpr Lane Of(ByteOrder order, char c) {
    const auto unit = static_cast<Lane>(c);
    if (sizeof(Lane) == 1 || order == ByteOrder::kLittleEndian) return unit;
    return static_cast<Lane>(unit << 8);
  }
  explicit constexpr Needles(ByteOrder order)
      : colon(Of(order, kSchemeSeparator[0])),
        slash(Of(order, kSchemeSeparator[1])),
        blank(Of(order, ' ')),
        cr(Of(order, '\r')),
        lf(Of(order, '\n')) {}
  Lane colon, slash, blank, cr, lf;
};

using Byte = std::uint8_t;
using Unit = std::uint16_t;
constexpr Needles<Byte> kByteNeedles(ByteOrder::kLittleEndian);

template <typename Lane>
bool IsLineEnd(const Needles<Lane>& n, Lane unit) {
  return unit == n.cr || unit == n.lf;
}
template <typename Lane>
bool IsLinkEnd(const Needles<Lane>& n, Lane unit) {
  return unit == n.blank || IsLineEnd(n, unit);
}

template <typename Lane>
const char* ScalarSchemeSeparator(const Needles<Lane>& n, const char* p, const char* end) {
  constexpr std::ptrdiff_t kUnit = sizeof(Lane);
  for (; end - p >= 3 * kUnit; p += kUnit) {
    if constexpr (kUnit == 1) {
      // memchr skips plain text faster than a loop does.
      p = static_cast<const char*>(
          std::memchr(p, kSchemeSeparator[0], static_cast<std::size_t>(end - p - 2)));
      if (p == nullptr) return end;
    }
    if (LaneAt<Lane>(p) == n.colon && LaneAt<Lane>(p + kUnit) == n.slash &&
        LaneAt<Lane>(p + 2 * kUnit) == n.slash) {
      return p;
    }
  }
  return end;
}

// The first unit that is one of those IsWanted looks for.
template <typename Lane, bool (*IsWanted)(const Needles<Lane>&, Lane)>
const char* ScalarFind(const Needles<Lane>& n, const char* p, const char* end) {
  for (; p < end; p += sizeof(Lane)) {
    if (IsWanted(n, LaneAt<Lane>(p))) return p;
  }
  return end;
}

// One instruction set's three searches over one kind of unit.
template <typename Lane>
struct Kernel {
  using Search = const char* (*)(const Needles<Lane>&, const char*, const char*);
  Search scheme_separator;
  Search link_end;
  Search line_end;
};

template <typename Lane>
constexpr Kernel<Lane> kScalar = {ScalarSchemeSeparator<Lane>, ScalarFind<Lane, IsLinkEnd<Lane>>,
                                  ScalarFind<Lane, IsLineEnd<Lane>>};

#ifdef LINKSIFT_HAVE_AVX2_PATH

using avx2::Load;

// All ones in each unit of `v` that is `lane`.
template <typename Lane>
LINKSIFT_AVX2 inline __m256i Equal(__m256i v, Lane lane) {
  if constexpr (sizeof(Lane) == 1)
    return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(lane)));
  return _mm256_cmpeq_epi16(v, _mm256_set1_epi16(static_cast<short>(lane)));
}

// A bit a byte; the lowest set bit of a unit is its first byte.
LINKSIFT_AVX2 inline unsigned Mask(__m256i v) {
  return static_cast<unsigned>(_mm256_movemask_epi8(v));
}

// Where a separator may start: its first unit and its last. The middle one
// is checked on the few places that pass, which costs less than comparing it
// everywhere.
template <typename Lane>
LINKSIFT_AVX2 inline unsigned SeparatorMask(const Needles<Lane>& n, const char* p) {
  return Mask(
      _mm256_and_si256(Equal(Load(p), n.colon), Equal(Load(p + 2 * sizeof(Lane)), n.slash)));
}

// The first place in `candidates` (a bit a byte from `p`, every byte of a
// unit set) whose middle unit is a slash, or null.
template <typename Lane>
LINKSIFT_AVX2 const char* Confirmed(const Needles<Lane>& n, const char* p,
                                    std::uint64_t candidates) {
  constexpr std::uint64_t kUnitBits = (std::uint64_t{1} << sizeof(Lane)) - 1;
  while (candidates != 0) {
    const int at = std::countr_zero(candidates);
    if (LaneAt<Lane>(p + at + sizeof(Lane)) == n.slash) return p + at;
    candidates &= ~(kUnitBits << at);
  }
  return nullptr;
}

template <typename Lane>
LINKSIFT_AVX2 const char* Avx2SchemeSeparator(const Needles<Lane>& n, const char* p,
                                              const char* end) {
  constexpr std::ptrdiff_t kReach = 2 * sizeof(Lane);  // the separator's units past its first
  // Two vectors a step keep the loads busy on long runs of plain text.
  for (; end - p >= 64 + kReach; p += 64) {
    const std::uint64_t candidates = SeparatorMask(n, p) | std::uint64_t{SeparatorMask(n, p + 32)}
                                                               << 32;
    if (candidates == 0) continue;
    if (const char* found = Confirmed(n, p, candidates)) return found;
  }
  for (; end - p >= 32 + kReach; p += 32) {
    if (const char* found = Confirmed(n, p, SeparatorMask(n, p))) return found;
  }
  return ScalarSchemeSeparator(n, p, end);
}

template <typename Lane>
LINKSIFT_AVX2 inline __m256i LineEnds(const Needles<Lane>& n, __m256i v) {
  return _mm256_or_si256(Equal(v, n.cr), Equal(v, n.lf));
}
template <typename Lane>
LINKSIFT_AVX2 inline unsigned LineEndMask(const Needles<Lane>& n, const char* p) {
  return Mask(LineEnds(n, Load(p)));
}
template <typename Lane>
LINKSIFT_AVX2 inline unsigned LinkEndMask(const Needles<Lane>& n, const char* p) {
  const __m256i v = Load(p);
  return Mask(_mm256_or_si256(Equal(v, n.blank), LineEnds(n, v)));
}

// Mask and IsWanted pick out the same units, a vector or one at a time.
template <typename Lane, unsigned (*Mask)(const Needles<Lane>&, const char*),
          bool (*IsWanted)(const Needles<Lane>&, Lane)>
LINKSIFT_AVX2 const char* Avx2Find(const Needles<Lane>& n, const char* p, const char* end) {
  for (; end - p >= 32; p += 32) {
    if (const unsigned m = Mask(n, p)) return p + _tzcnt_u32(m);
  }
  return ScalarFind<Lane, IsWanted>(n, p, end);
}

template <typename Lane>
constexpr Kernel<Lane> kAvx2 = {Avx2SchemeSeparator<Lane>,
                                Avx2Find<Lane, LinkEndMask<Lane>, IsLinkEnd<Lane>>,
                                Avx2Find<Lane, LineEndMask<Lane>, IsLineEnd<Lane>>};

bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
}

#else
template <typename Lane>
constexpr Kernel<Lane> kAvx2 = kScalar<Lane>;  // never chosen: CanRunSearchKernel says no
#endif  // LINKSIFT_HAVE_AVX2_PATH

std::atomic<SearchKernel> g_kernel = [] {
  return CanRunSearchKernel(SearchKernel::kAvx2) ? SearchKernel::kAvx2 : SearchKernel::kScalar;
}();

// One relaxed load and a branch a call, as cheap as testing a constant flag;
// both kernels' calls stay direct.
template <typename Lane, typename Kernel<Lane>::Search Kernel<Lane>::*kSearch>
const char* Dispatch(const Needles<Lane>& needles, const char* begin, const char* end) {
  if (g_kernel.load(std::memory_order_relaxed) == SearchKernel::kAvx2) {
    return (kAvx2<Lane>.*kSearch)(needles, begin, end);
  }
  return (kScalar<Lane>.*kSearch)(needles, begin, end);
}

}  // namespace

SearchKernel ActiveSearchKernel() {
  return g_kernel.load(std::memory_order_relaxed);
}

bool CanRunSearchKernel(SearchKernel kernel) {
#ifdef LINKSIFT_HAVE_AVX2_PATH
  if (kernel == SearchKernel::kAvx2) return HasAvx2();
#endif
  return kernel == SearchKernel::kScalar;
}

bool ForceSearchKernel(SearchKernel kernel) {
  if (!CanRunSearchKernel(kernel)) return false;
  g_kernel.store(kernel, std::memory_order_relaxed);
  return true;
}

const char* FindSchemeSeparator(const char* begin, const char* end) {
  return Dispatch<Byte, &Kernel<Byte>::scheme_separator>(kByteNeedles, begin, end);
}

const char* FindLinkEnd(const char* begin, const char* end) {
  return Dispatch<Byte, &Kernel<Byte>::link_end>(kByteNeedles, begin, end);
}

const char* FindLineEnd(const char* begin, const char* end) {
  return Dispatch<Byte, &Kernel<Byte>::line_end>(kByteNeedles, begin, end);
}

const char* FindSchemeSeparator16(ByteOrder order, const char* begin, const char* end) {
  return Dispatch<Unit, &Kernel<Unit>::scheme_separator>(Needles<Unit>(order), begin, end);
}

const char* FindLinkEnd16(ByteOrder order, const char* begin, const char* end) {
  return Dispatch<Unit, &Kernel<Unit>::link_end>(Needles<Unit>(order), begin, end);
}

const char* FindLineEnd16(ByteOrder order, const char* begin, const char* end) {
  return Dispatch<Unit, &Kernel<Unit>::line_end>(Needles<Unit>(order), begin, end);
}

}  // namespace linksift
