#include "Md5Stream.h"

#include <cstring>

Md5Stream::Md5Stream()
{
    MD5_Init(&context_);
}

void Md5Stream::Update(const void* data, size_t length)
{
    MD5_Update(&context_, data, length);
}

QString Md5Stream::Hex() const
{
    MD5_CTX copy = context_;
    unsigned char digest[MD5_DIGEST_LENGTH];
    MD5_Final(digest, &copy);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest), sizeof digest).toHex());
}

QByteArray Md5Stream::State() const
{
    return QByteArray(reinterpret_cast<const char*>(&context_), sizeof context_);
}

bool Md5Stream::Restore(const QByteArray& state)
{
    MD5_CTX restored;
    if (state.size() != int(sizeof restored)) {
        return false;
    }
    std::memcpy(&restored, state.constData(), sizeof restored);
    if (restored.num >= MD5_CBLOCK) {
        return false;  // not a state MD5_Update could go on from
    }
    context_ = restored;
    return true;
}
