#include "byte_search.h"

#include <atomic>
#include <cstring>

#include "avx2.h"
#include "link_rule.h"

namespace linksift {
namespace {

// The kernels below look for exactly three bytes.
static_assert(kSchemeSeparator.size() == 3);

constexpr bool IsLinkEnd(char c) {
  return c == ' ' || c == '\r' || c == '\n';
}
constexpr bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

const char* ScalarSchemeSeparator(const char* p, const char* end) {
  while (end - p >= 3) {
    p = static_cast<const char*>(
        std::memchr(p, kSchemeSeparator[0], static_cast<std::size_t>(end - p - 2)));
    if (p == nullptr) return end;
    if (p[1] == kSchemeSeparator[1] && p[2] == kSchemeSeparator[2]) return p;
    ++p;
  }
  return end;
}

template <bool (*kIsWanted)(char)>
const char* ScalarFind(const char* p, const char* end) {
  while (p < end && !kIsWanted(*p)) ++p;
  return p;
}

// One instruction set's three searches.
struct Kernel {
  const char* (*scheme_separator)(const char* begin, const char* end);
  const char* (*link_end)(const char* begin, const char* end);
  const char* (*line_end)(const char* begin, const char* end);
};

constexpr Kernel kScalar = {ScalarSchemeSeparator, ScalarFind<IsLinkEnd>, ScalarFind<IsLineEnd>};

#ifdef LINKSIFT_HAVE_AVX2_PATH

using avx2::Load;

LINKSIFT_AVX2 inline unsigned Mask(__m256i v) {
  return static_cast<unsigned>(_mm256_movemask_epi8(v));
}

LINKSIFT_AVX2 inline unsigned SeparatorMask(const char* p) {
  const __m256i a = _mm256_cmpeq_epi8(Load(p), _mm256_set1_epi8(kSchemeSeparator[0]));
  const __m256i b = _mm256_cmpeq_epi8(Load(p + 1), _mm256_set1_epi8(kSchemeSeparator[1]));
  const __m256i c = _mm256_cmpeq_epi8(Load(p + 2), _mm256_set1_epi8(kSchemeSeparator[2]));
  return Mask(_mm256_and_si256(_mm256_and_si256(a, b), c));
}

LINKSIFT_AVX2 inline unsigned LineEndMask(__m256i v) {
  const __m256i cr = _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\r'));
  const __m256i lf = _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'));
  return Mask(_mm256_or_si256(cr, lf));
}

LINKSIFT_AVX2 inline unsigned LinkEndMask(__m256i v) {
  const __m256i blank = _mm256_cmpeq_epi8(v, _mm256_set1_epi8(' '));
  return LineEndMask(v) | Mask(blank);
}

LINKSIFT_AVX2 const char* Avx2SchemeSeparator(const char* p, const char* end) {
  // Two vectors a step keep the loads busy on long runs of plain text.
  for (; end - p >= 64 + 2; p += 64) {
    const unsigned low = SeparatorMask(p);
    const unsigned high = SeparatorMask(p + 32);
    if ((low | high) != 0) return low != 0 ? p + _tzcnt_u32(low) : p + 32 + _tzcnt_u32(high);
  }
  for (; end - p >= 32 + 2; p += 32) {
    if (const unsigned m = SeparatorMask(p)) return p + _tzcnt_u32(m);
  }
  return ScalarSchemeSeparator(p, end);
}

template <unsigned (*kMask)(__m256i), bool (*kIsWanted)(char)>
LINKSIFT_AVX2 const char* Avx2Find(const char* p, const char* end) {
  for (; end - p >= 32; p += 32) {
    if (const unsigned m = kMask(Load(p))) return p + _tzcnt_u32(m);
  }
  return ScalarFind<kIsWanted>(p, end);
}

constexpr Kernel kAvx2 = {Avx2SchemeSeparator, Avx2Find<LinkEndMask, IsLinkEnd>,
                          Avx2Find<LineEndMask, IsLineEnd>};

bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
}

#else
constexpr Kernel kAvx2 = kScalar;  // never chosen: CanRunSearchKernel says no
#endif  // LINKSIFT_HAVE_AVX2_PATH

std::atomic<SearchKernel> g_kernel = [] {
  return CanRunSearchKernel(SearchKernel::kAvx2) ? SearchKernel::kAvx2 : SearchKernel::kScalar;
}();

// One relaxed load and a branch a call, as cheap as testing a constant flag;
// both kernels' calls stay direct.
template <auto Kernel::*kSearch>
const char* Dispatch(const char* begin, const char* end) {
  if (g_kernel.load(std::memory_order_relaxed) == SearchKernel::kAvx2) {
    return (kAvx2.*kSearch)(begin, end);
  }
  return (kScalar.*kSearch)(begin, end);
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
  return Dispatch<&Kernel::scheme_separator>(begin, end);
}

const char* FindLinkEnd(const char* begin, const char* end) {
  return Dispatch<&Kernel::link_end>(begin, end);
}

const char* FindLineEnd(const char* begin, const char* end) {
  return Dispatch<&Kernel::line_end>(begin, end);
}

}  // namespace linksift
