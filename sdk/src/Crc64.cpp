#include "Crc64.h"

#include <isa-l/crc64.h>

namespace kvr {

uint64_t Crc64::Update(uint64_t crc, const void* data, size_t size)
{
    // ISA-L picks the fastest kernel of the processor (carry-less multiplication, several
    // 128-bit lanes) at its first call.
    return crc64_ecma_refl(crc, static_cast<const unsigned char*>(data), size);
}

}  // namespace kvr
