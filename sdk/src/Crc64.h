#pragma once

#include <cstddef>
#include <cstdint>

namespace kvr {

// CRC-64/XZ (ECMA-182 polynomial, reflected, initial and final value all ones): the checksum
// the platform keeps of every upload, computed by ISA-L (crc64_ecma_refl). Values are always
// in their final (xored) form, so a CRC can be carried across calls, resumes and processes as
// a plain number: Update(Update(0, a), b) == Update(0, a + b).
class Crc64
{
public:
    static uint64_t Update(uint64_t crc, const void* data, size_t size);
};

}  // namespace kvr
