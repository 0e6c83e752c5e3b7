#pragma once

#include <QByteArray>

// AES-128-CBC with PKCS#7 padding over OpenSSL's EVP interface: the one routine behind the
// stored passwords, the legacy account file and the account secret of a login answer.
namespace AesCbc {

constexpr int kBlockSize = 16;

// Pads data to the next multiple of 16 (a whole block of 0x10 when already aligned) and
// encrypts it. Empty on a key or IV that is not 16 bytes.
QByteArray Encrypt(const QByteArray& plain, const QByteArray& key, const QByteArray& iv);

// Decrypts whole blocks and drops as many trailing bytes as the last byte says. Sets *ok to
// false (and returns empty) on anything that is not a whole number of blocks or whose last
// byte is not a padding length 1 to 16: nothing is ever read outside the buffer.
QByteArray Decrypt(const QByteArray& cipher, const QByteArray& key, const QByteArray& iv,
                   bool* ok = nullptr);

}  // namespace AesCbc
