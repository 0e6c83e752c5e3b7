#pragma once

#include <QString>

#include <cstddef>

// "text"_s: a QString from UTF-8, the short spelling tests use for their many fixed texts.
inline QString operator""_s(const char* text, std::size_t size)
{
    return QString::fromUtf8(text, static_cast<int>(size));
}
