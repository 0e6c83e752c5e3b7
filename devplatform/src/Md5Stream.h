#pragma once

#define OPENSSL_SUPPRESS_DEPRECATED  // MD5_CTX: see below
#include <openssl/md5.h>

#include <QByteArray>
#include <QString>

// A running MD5 whose intermediate state can be stored and taken up again, so the platform
// hashes each byte of an upload once, as it arrives, even across a restart. OpenSSL's EVP
// interface cannot export a digest's state; the plain MD5_CTX can, which is why this one class
// uses the older interface.
class Md5Stream
{
public:
    Md5Stream();

    void Update(const void* data, size_t length);
    // Lower-case hex digest of everything so far (the stream itself goes on unchanged).
    QString Hex() const;

    QByteArray State() const;
    // False (and the stream left as it was) for a state of another form.
    bool Restore(const QByteArray& state);

private:
    MD5_CTX context_;
};
