#include "CurlFailure.h"

namespace kvr {
namespace {

struct Entry
{
    CURLcode code;
    const char* key;  // the start of the result message
};

// Every error that can follow a broken, refused or unreachable connection. A run that meets
// one of these waits, asks the server for its offset (HEAD) and continues from there; only
// the server's offset decides whether bytes are missing. Errors not listed end the run (after
// one HEAD, in case the last byte was stored before the failure).
const Entry kTransient[] = {
    // The network cannot reach the platform (yet): no DNS, no route, nothing listening.
    {CURLE_COULDNT_RESOLVE_PROXY, "ConnectionTimeout: cannot connect to the platform"},
    {CURLE_COULDNT_RESOLVE_HOST, "ConnectionTimeout: cannot connect to the platform"},
    {CURLE_COULDNT_CONNECT, "ConnectionTimeout: cannot connect to the platform"},
    // A proxy handshake that the proxy or the link broke off.
    {CURLE_PROXY, "ConnectionTimeout: cannot connect to the platform"},
    // Connecting took too long, or a request moved no byte for the stall time.
    {CURLE_OPERATION_TIMEDOUT, "SocketTimeout: no data moved for too long"},
    // The TLS handshake broke off: a reset during the handshake looks like this, while a
    // certificate that does not verify is CURLE_PEER_FAILED_VERIFICATION (not listed).
    {CURLE_SSL_CONNECT_ERROR, "SocketTimeout: connection lost"},
    // Writing the request or its body failed: the peer reset or closed the connection.
    {CURLE_SEND_ERROR, "SocketTimeout: connection lost"},
    // Reading the answer failed: reset, or a TLS record cut off mid-way.
    {CURLE_RECV_ERROR, "SocketTimeout: connection lost"},
    // The connection closed before any answer: the server (or a middle box) dropped it after
    // reading the request, possibly after storing every byte of it.
    {CURLE_GOT_NOTHING, "SocketTimeout: connection lost"},
    // The answer ended before its announced length.
    {CURLE_PARTIAL_FILE, "SocketTimeout: connection lost"},
    // A reused connection died before any answer. libcurl would send the request again on a
    // new connection but cannot rewind a streamed PATCH body (no seek callback, on purpose:
    // the repeated request would carry the same nonce, and where to continue is the server's
    // offset to say). This is what a drop after the last byte of an upload looks like.
    {CURLE_SEND_FAIL_REWIND, "SocketTimeout: connection lost"},
    // A cut or garbled status line, as a connection torn down mid-answer can leave.
    {CURLE_WEIRD_SERVER_REPLY, "http response parse error"},
    // HTTP/2 (KVRSetSdkHttpRequest(2)): the connection or the stream was reset.
    {CURLE_HTTP2, "SocketTimeout: connection lost"},
    {CURLE_HTTP2_STREAM, "SocketTimeout: connection lost"},
};

}  // namespace

bool CurlFailure::IsTransient(CURLcode code)
{
    for (const Entry& entry : kTransient) {
        if (entry.code == code) {
            return true;
        }
    }
    return false;
}

std::string CurlFailure::MessageKey(CURLcode code, bool connected)
{
    if (code == CURLE_OPERATION_TIMEDOUT && !connected) {
        return "ConnectionTimeout: connecting to the platform timed out";
    }
    for (const Entry& entry : kTransient) {
        if (entry.code == code) {
            return entry.key;
        }
    }
    return "network error";
}

}  // namespace kvr
