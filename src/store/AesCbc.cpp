#include "store/AesCbc.h"

#include <memory>
#include <openssl/evp.h>

namespace {

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

// Runs AES-128-CBC without OpenSSL's own padding over whole blocks.
bool Transform(bool encrypt, const QByteArray& input, const QByteArray& key, const QByteArray& iv,
               QByteArray* output)
{
    if (key.size() != AesCbc::kBlockSize || iv.size() != AesCbc::kBlockSize ||
        input.size() % AesCbc::kBlockSize != 0) {
        return false;
    }
    CipherContext context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    if (!context) {
        return false;
    }
    const auto* keyBytes = reinterpret_cast<const unsigned char*>(key.constData());
    const auto* ivBytes = reinterpret_cast<const unsigned char*>(iv.constData());
    if (EVP_CipherInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, keyBytes, ivBytes,
                          encrypt ? 1 : 0) != 1 ||
        EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1) {
        return false;
    }
    output->resize(input.size());
    int written = 0;
    if (EVP_CipherUpdate(context.get(), reinterpret_cast<unsigned char*>(output->data()), &written,
                         reinterpret_cast<const unsigned char*>(input.constData()),
                         input.size()) != 1) {
        return false;
    }
    int tail = 0;
    if (EVP_CipherFinal_ex(context.get(),
                           reinterpret_cast<unsigned char*>(output->data()) + written,
                           &tail) != 1) {
        return false;
    }
    output->resize(written + tail);
    return true;
}

}  // namespace

namespace AesCbc {

QByteArray Encrypt(const QByteArray& plain, const QByteArray& key, const QByteArray& iv)
{
    const int padding = kBlockSize - plain.size() % kBlockSize;
    QByteArray padded = plain;
    padded.append(padding, static_cast<char>(padding));
    QByteArray cipher;
    if (!Transform(true, padded, key, iv, &cipher)) {
        return QByteArray();
    }
    return cipher;
}

QByteArray Decrypt(const QByteArray& cipher, const QByteArray& key, const QByteArray& iv, bool* ok)
{
    if (ok) {
        *ok = false;
    }
    if (cipher.isEmpty()) {
        return QByteArray();
    }
    QByteArray plain;
    if (!Transform(false, cipher, key, iv, &plain) || plain.isEmpty()) {
        return QByteArray();
    }
    const int padding = static_cast<unsigned char>(plain.back());
    if (padding < 1 || padding > kBlockSize || padding > plain.size()) {
        return QByteArray();
    }
    plain.chop(padding);
    if (ok) {
        *ok = true;
    }
    return plain;
}

}  // namespace AesCbc
