#include "TlsBodyReader.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>

TlsBodyReader::TlsBodyReader(SSL* ssl, int timeoutSeconds)
    : ssl_(ssl), timeoutMs_(timeoutSeconds * 1000)
{
    buffering_ = BIO_new(BIO_f_buffer());
    if (buffering_ == nullptr || BIO_set_read_buffer_size(buffering_, kSocketRead) <= 0) {
        BIO_free(buffering_);
        buffering_ = nullptr;
        return;  // reads go to the socket directly: slower, but the same bytes
    }
    // The session holds its socket BIO twice (read and write). The chain takes one more
    // reference, and handing the session the chain as its read BIO drops the read one.
    socket_ = SSL_get_rbio(ssl_);
    BIO_up_ref(socket_);
    BIO_push(buffering_, socket_);
    SSL_set0_rbio(ssl_, buffering_);
}

TlsBodyReader::~TlsBodyReader()
{
    if (buffering_ != nullptr) {
        // The session's read reference to the socket BIO again; freeing the chain frees the
        // buffering BIO and drops the chain's reference.
        BIO_up_ref(socket_);
        SSL_set0_rbio(ssl_, socket_);
    }
}

bool TlsBodyReader::Buffered() const
{
    return SSL_has_pending(ssl_) || (buffering_ != nullptr && BIO_pending(buffering_) > 0);
}

bool TlsBodyReader::WaitReadable() const
{
    pollfd fd{SSL_get_fd(ssl_), POLLIN, 0};
    for (;;) {
        const int ready = poll(&fd, 1, timeoutMs_);
        if (ready >= 0 || errno != EINTR) {
            return ready > 0;
        }
    }
}

size_t TlsBodyReader::Read(char* data, size_t size)
{
    const int want = static_cast<int>(std::min<size_t>(size, INT_MAX));
    for (;;) {
        // Bytes already read from the socket need no poll; a record whose rest has not arrived
        // yet blocks the read until it is there, as in cpp-httplib.
        if (!Buffered() && !WaitReadable()) {
            return 0;
        }
        const int n = SSL_read(ssl_, data, want);
        if (n > 0) {
            return static_cast<size_t>(n);
        }
        // Without auto-retry (cpp-httplib turns it off) a record that carries no data, such as
        // a key update, ends the call with "want read".
        if (SSL_get_error(ssl_, n) != SSL_ERROR_WANT_READ) {
            ERR_clear_error();  // later calls on this thread must not see the failure
            return 0;
        }
    }
}

bool TlsBodyReader::HoldsMore() const
{
    return Buffered();
}
