#include "Crc64.h"

#include <array>
#include <cstring>

namespace kvr {
namespace {

constexpr uint64_t kPolynomial = 0xC96C5795D7870F42ULL;  // ECMA-182, bit-reversed

// Slicing-by-8: eight 256-entry tables let the loop fold eight bytes per step with
// independent look-ups instead of one dependent look-up per byte (about 6x faster).
using Tables = std::array<std::array<uint64_t, 256>, 8>;

Tables MakeTables()
{
    Tables t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint64_t crc = n;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? (crc >> 1) ^ kPolynomial : crc >> 1;
        }
        t[0][n] = crc;
    }
    for (uint32_t n = 0; n < 256; ++n) {
        for (size_t k = 1; k < 8; ++k) {
            const uint64_t prev = t[k - 1][n];
            t[k][n] = (prev >> 8) ^ t[0][prev & 0xff];
        }
    }
    return t;
}

const Tables& GetTables()
{
    static const Tables tables = MakeTables();
    return tables;
}

uint64_t LoadLittleEndian64(const unsigned char* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

}  // namespace

uint64_t Crc64::Update(uint64_t crc, const void* data, size_t size)
{
    const Tables& t = GetTables();
    const auto* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
    while (size >= 8) {
        crc ^= LoadLittleEndian64(p);
        crc = t[7][crc & 0xff] ^ t[6][(crc >> 8) & 0xff] ^ t[5][(crc >> 16) & 0xff] ^
              t[4][(crc >> 24) & 0xff] ^ t[3][(crc >> 32) & 0xff] ^ t[2][(crc >> 40) & 0xff] ^
              t[1][(crc >> 48) & 0xff] ^ t[0][crc >> 56];
        p += 8;
        size -= 8;
    }
    while (size-- > 0) {
        crc = t[0][(crc ^ *p++) & 0xff] ^ (crc >> 8);
    }
    return ~crc;
}

}  // namespace kvr
