#include "Crc64.h"

#include <isa-l/crc64.h>

void Crc64::Update(const void* data, size_t length)
{
    value_ = crc64_ecma_refl(value_, static_cast<const unsigned char*>(data), length);
}
