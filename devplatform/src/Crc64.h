#pragma once

#include <cstddef>
#include <cstdint>

// CRC-64/XZ: ECMA-182 polynomial, reflected, initial value and final XOR all ones (the variant
// object stores use), computed by ISA-L (crc64_ecma_refl, several GB/s). Check value of
// "123456789": 0x995DC9BBDF1939FA. The value is kept in its final form, so a CRC stored as a
// number continues exactly where it stopped (FromValue).
class Crc64
{
public:
    static Crc64 FromValue(uint64_t value)
    {
        Crc64 crc;
        crc.value_ = value;
        return crc;
    }

    void Update(const void* data, size_t length);
    uint64_t Value() const { return value_; }

private:
    uint64_t value_ = 0;
};
