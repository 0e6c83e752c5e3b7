#pragma once

#include <cstddef>
#include <cstdint>

// CRC-64/XZ: ECMA-182 polynomial, reflected, initial value and final XOR all ones (the variant
// object stores use). Check value of "123456789": 0x995DC9BBDF1939FA. Carry-less
// multiplication (about 10 GB/s) where the processor has it, slice-by-8 tables otherwise, so
// the checksum of an upload never holds up the network.
class Crc64
{
public:
    void Update(const void* data, size_t length);
    uint64_t Value() const { return ~state_; }
    void Reset() { state_ = ~uint64_t(0); }

private:
    uint64_t state_ = ~uint64_t(0);
};
