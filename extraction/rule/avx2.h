#pragma once

// What the searches' AVX2 kernels share: whether the compiler can build them
// here, the attribute that builds a function for AVX2 alone (the rest of the
// program runs anywhere), and an unaligned load.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LINKSIFT_HAVE_AVX2_PATH 1
#define LINKSIFT_AVX2 __attribute__((target("avx2,bmi")))

namespace linksift::avx2 {

LINKSIFT_AVX2 inline __m256i Load(const char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

}  // namespace linksift::avx2
#endif
