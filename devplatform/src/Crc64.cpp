#include "Crc64.h"

#include <cstring>
#include <immintrin.h>

namespace {

constexpr uint64_t kPoly = 0x42F0E1EBA9EA3693ULL;           // ECMA-182, x^64 implied
constexpr uint64_t kPolyReflected = 0xC96C5795D7870F42ULL;  // the same, bit-reversed

struct Tables
{
    uint64_t t[8][256];
    Tables()
    {
        for (int i = 0; i < 256; ++i) {
            uint64_t crc = static_cast<uint64_t>(i);
            for (int bit = 0; bit < 8; ++bit) {
                crc = (crc & 1) ? (crc >> 1) ^ kPolyReflected : crc >> 1;
            }
            t[0][i] = crc;
        }
        for (int k = 1; k < 8; ++k) {
            for (int i = 0; i < 256; ++i) {
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xff];
            }
        }
    }
};

const Tables& CrcTables()
{
    static const Tables tables;
    return tables;
}

uint64_t SliceBy8(uint64_t crc, const unsigned char* p, size_t length)
{
    const auto& t = CrcTables().t;
    while (length >= 8) {
        uint64_t word;
        memcpy(&word, p, 8);  // little-endian hosts only, which is all we build for
        crc ^= word;
        crc = t[7][crc & 0xff] ^ t[6][(crc >> 8) & 0xff] ^ t[5][(crc >> 16) & 0xff] ^
              t[4][(crc >> 24) & 0xff] ^ t[3][(crc >> 32) & 0xff] ^ t[2][(crc >> 40) & 0xff] ^
              t[1][(crc >> 48) & 0xff] ^ t[0][crc >> 56];
        p += 8;
        length -= 8;
    }
    while (length-- > 0) {
        crc = t[0][(crc ^ *p++) & 0xff] ^ (crc >> 8);
    }
    return crc;
}

#if defined(__x86_64__)

// Carry-less multiplication folds 128-bit blocks forward without a table: a block A followed
// by n zero bits leaves the same CRC as A * x^n mod P, and with A split into 64-bit halves that
// is two 64x64 products with the constants x^(n+63) and x^(n-1) mod P (bit-reversed, as the
// CRC is reflected; the -1 absorbs the one-bit shift of a reflected product). Four blocks
// are folded side by side, 64 bytes per round, then merged; the last 16 bytes and the tail go
// through the table code.
uint64_t Reverse(uint64_t v)
{
    uint64_t r = 0;
    for (int i = 0; i < 64; ++i) {
        r = (r << 1) | (v & 1);
        v >>= 1;
    }
    return r;
}

uint64_t XPowModP(int exponent)
{
    uint64_t r = 1;
    for (int i = 0; i < exponent; ++i) {
        const bool carry = r >> 63;
        r <<= 1;
        if (carry) {
            r ^= kPoly;
        }
    }
    return r;
}

struct FoldConstants
{
    // {low lane, high lane} for folding over 128 and 512 bits
    uint64_t by1[2];
    uint64_t by4[2];
    FoldConstants()
        : by1{Reverse(XPowModP(128 + 63)), Reverse(XPowModP(128 - 1))},
          by4{Reverse(XPowModP(512 + 63)), Reverse(XPowModP(512 - 1))}
    {
    }
};

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next)
{
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

__attribute__((target("pclmul,sse4.1"))) uint64_t FoldClmul(uint64_t crc, const unsigned char* p,
                                                            size_t length)
{
    static const FoldConstants constants;
    const __m128i by1 = _mm_set_epi64x(static_cast<long long>(constants.by1[1]),
                                       static_cast<long long>(constants.by1[0]));
    const __m128i by4 = _mm_set_epi64x(static_cast<long long>(constants.by4[1]),
                                       static_cast<long long>(constants.by4[0]));
    auto load = [](const unsigned char* at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    };
    __m128i a0 = _mm_xor_si128(load(p), _mm_cvtsi64_si128(static_cast<long long>(crc)));
    __m128i a1 = load(p + 16);
    __m128i a2 = load(p + 32);
    __m128i a3 = load(p + 48);
    p += 64;
    length -= 64;
    while (length >= 64) {
        a0 = Fold(a0, by4, load(p));
        a1 = Fold(a1, by4, load(p + 16));
        a2 = Fold(a2, by4, load(p + 32));
        a3 = Fold(a3, by4, load(p + 48));
        p += 64;
        length -= 64;
    }
    __m128i x = Fold(Fold(Fold(a0, by1, a1), by1, a2), by1, a3);
    while (length >= 16) {
        x = Fold(x, by1, load(p));
        p += 16;
        length -= 16;
    }
    unsigned char rest[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(rest), x);
    return SliceBy8(SliceBy8(0, rest, 16), p, length);
}

bool HasClmul()
{
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return has;
}

#endif

}  // namespace

void Crc64::Update(const void* data, size_t length)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
#if defined(__x86_64__)
    if (length >= 64 && HasClmul()) {
        state_ = FoldClmul(state_, p, length);
        return;
    }
#endif
    state_ = SliceBy8(state_, p, length);
}
