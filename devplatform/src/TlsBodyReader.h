#pragma once

#include <cstddef>

typedef struct ssl_st SSL;
typedef struct bio_st BIO;

// Reads a request body straight from the connection's TLS session into the caller's memory.
// cpp-httplib as Debian builds it (a shared library, so its 4 KiB receive buffer cannot be
// changed from here) hands a body over in 4 KiB pieces that the receiver copies once more, and
// reads each TLS record with a readiness poll and two socket reads (header, then the rest). On
// a virtual machine those system calls cost a quarter of the server's CPU for an upload (MD5
// takes most of the rest; docs/benchmarks.md). Here every SSL_read goes into the caller's
// buffer, and while the body is read a buffering BIO sits between OpenSSL and the socket, so
// one socket read brings in up to kSocketRead bytes, many records. (OpenSSL's own read-ahead
// does the same but moves the rest of its buffer to the front for every record, which costs
// more than it saves with a large buffer.) cpp-httplib reads the request head byte by byte, so
// nothing of the body is buffered anywhere else.
class TlsBodyReader
{
public:
    TlsBodyReader(SSL* ssl, int timeoutSeconds);
    ~TlsBodyReader();  // the session reads from the socket directly again
    TlsBodyReader(const TlsBodyReader&) = delete;
    TlsBodyReader& operator=(const TlsBodyReader&) = delete;

    // Reads at least one and at most size bytes into data (at most one TLS record); 0 when the
    // connection was closed or broke, or nothing arrived within the timeout.
    size_t Read(char* data, size_t size);
    // True when bytes after the body have already been read from the socket (a pipelined
    // request): they end with this reader, so the connection must not be reused.
    bool HoldsMore() const;

private:
    bool Buffered() const;
    bool WaitReadable() const;

    static constexpr int kSocketRead = 256 * 1024;

    SSL* ssl_;
    int timeoutMs_;
    BIO* socket_ = nullptr;     // the session's own BIO (also its write BIO)
    BIO* buffering_ = nullptr;  // in front of socket_ while the body is read
};
