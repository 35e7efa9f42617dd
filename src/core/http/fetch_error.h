#pragma once

namespace vel {

// Why a fetch failed, for diagnostics and tests; the page fetch itself only
// tells protocol errors, other failures and aborts apart.
enum class FetchError {
    None,
    InvalidUrl,  // no "://", no host, a bad port or control bytes
    UnsupportedScheme,  // anything but "http" ("https" included: no secure transport)
    LookupFailed,  // the host name cannot be resolved
    ConnectFailed,  // refused or unreachable on every address
    ConnectTimedOut,  // lookup and connection took longer than the connect limit
    SendFailed,  // the request could not be written
    ReceiveFailed,  // the connection broke while reading
    ReadTimedOut,  // no byte arrived within the wait limit
    ClosedBeforeStatus,  // the connection closed before a complete status line
    ClosedInHead,  // closed inside the header block of a 2xx or 100 answer
    ClosedInChunkedBody,  // closed before the chunked body's end
    LineTooLong,  // a head or chunk framing line above the line limit
    HeadTooLarge,  // the head above its byte or line cap
    BodyTooLarge,  // the body above its cap
    ChunkSizeTooLarge,  // a chunk size that does not fit in 64 bits
    Aborted,  // abort() was called
};

const char* describe(FetchError error);

}  // namespace vel
