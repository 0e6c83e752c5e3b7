#include "Crc64.h"

#include <cstring>

namespace {

struct Tables
{
    uint64_t t[8][256];
    Tables()
    {
        const uint64_t poly = 0xC96C5795D7870F42ULL;  // 0x42F0E1EBA9EA3693 reflected
        for (int i = 0; i < 256; ++i) {
            uint64_t crc = static_cast<uint64_t>(i);
            for (int bit = 0; bit < 8; ++bit) {
                crc = (crc & 1) ? (crc >> 1) ^ poly : crc >> 1;
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

}  // namespace

void Crc64::Update(const void* data, size_t length)
{
    const auto& t = CrcTables().t;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    uint64_t crc = state_;
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
    state_ = crc;
}
