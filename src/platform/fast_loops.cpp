// SPDX-License-Identifier: MIT
// The processor's fast loops: nibble packing (AVX2 where the processor has it) and the
// copies of image lines past the caches (SSE2 streaming stores). Their intrinsics stay in
// this file. With KOPC_PLAIN_LOOPS every loop is the plain one.
#include "platform/platform.h"

#include <cstring>

#if !defined(KOPC_PLAIN_LOOPS) && (defined(__SSE2__) || defined(_M_X64))
#include <emmintrin.h>
#define KOPC_STREAMING_STORES 1
#endif
#if !defined(KOPC_PLAIN_LOOPS) && defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KOPC_AVX2_PACKING 1
#endif

namespace {

#ifdef KOPC_AVX2_PACKING
// 32 bytes a step: the nibbles masked, each pair combined by one multiply-add (16 times the
// first plus the second), narrowed to bytes; the narrowing works on each 128-bit half, and
// the permutation puts the halves back in order. Returns how many bytes it packed.
__attribute__((target("avx2"))) size_t pack_nibbles_avx2(uint8_t* to, const uint8_t* from,
                                                         size_t count) {
    const __m256i low = _mm256_set1_epi8(0x0F);
    const __m256i weights = _mm256_set1_epi16(0x0110); // bytes 16 and 1
    size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m256i* in = reinterpret_cast<const __m256i*>(from + 2 * i);
        const __m256i a =
            _mm256_maddubs_epi16(_mm256_and_si256(_mm256_loadu_si256(in), low), weights);
        const __m256i b =
            _mm256_maddubs_epi16(_mm256_and_si256(_mm256_loadu_si256(in + 1), low), weights);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i),
                            _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8));
    }
    return i;
}
#endif

// One run of a line past the caches: 16 bytes a store, the size a multiple of 16.
inline void copy_uncached(uint8_t* to, const uint8_t* from, size_t size) {
#ifdef KOPC_STREAMING_STORES
    __m128i* out = reinterpret_cast<__m128i*>(to);
    const __m128i* in = reinterpret_cast<const __m128i*>(from);
    for (size_t i = 0; i < size / 16; ++i) {
        _mm_stream_si128(out + i, _mm_loadu_si128(in + i));
    }
#else
    std::memcpy(to, from, size);
#endif
}

} // namespace

void platform_pack_nibbles(uint8_t* to, const uint8_t* from, size_t count) noexcept {
    size_t done = 0;
#ifdef KOPC_AVX2_PACKING
    if (__builtin_cpu_supports("avx2")) {
        done = pack_nibbles_avx2(to, from, count);
    }
#endif
    for (size_t i = done; i < count; ++i) {
        to[i] = static_cast<uint8_t>((from[2 * i] & 0x0F) << 4 | (from[2 * i + 1] & 0x0F));
    }
}

void platform_gather_uncached(uint8_t* to, const uint8_t* const from[], size_t count, size_t offset,
                              size_t size) noexcept {
    for (size_t i = 0; i < count; ++i, to += size) {
        copy_uncached(to, from[i] + offset, size);
    }
}

void platform_uncached_done() noexcept {
#ifdef KOPC_STREAMING_STORES
    _mm_sfence();
#endif
}
