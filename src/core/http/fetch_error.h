#pragma once

namespace vel {

// Why a fetch failed, for diagnostics and tests; the page fetch itself only
// tells protocol errors, rejected certificates, other failures and aborts apart.
enum class FetchError {
    None,
    InvalidUrl,  // no "://", no host, a bad port or control bytes
    UnsupportedScheme,  // anything but "http" and "https"
    LookupFailed,  // the host name cannot be resolved
    ConnectFailed,  // refused or unreachable on every address
    ConnectTimedOut,  // lookup, connection and TLS handshake took longer than the connect limit
    TlsFailed,  // no TLS session: no common protocol or cipher, a peer that speaks no TLS
    CertificateRejected,  // the server's certificate is not trusted or not for the host
    SendFailed,  // the request could not be written
    ReceiveFailed,  // the connection broke while reading
    ReadTimedOut,  // no byte arrived within the wait limit
    TooSlow,  // fewer bytes than the low-speed rule asks for within its window
    ClosedBeforeStatus,  // the connection closed before a complete status line
    ClosedInHead,  // closed inside the header block of a 2xx or 100 answer
    ClosedInChunkedBody,  // closed before the chunked body's end
    ClosedInBody,  // closed before the Content-Length of a 2xx answer arrived
    ConflictingLengths,  // Content-Length values that disagree
    LineTooLong,  // a head or chunk framing line above the line limit
    HeadTooLarge,  // the head above its byte or line cap
    BodyTooLarge,  // the body above its cap
    ChunkSizeTooLarge,  // a chunk size that does not fit in 64 bits
    RedirectRefused,  // a redirect to a URL that is not http or https, or unreadable
    RedirectLoop,  // a redirect to a request already sent on the way
    TooManyRedirects,  // an answer redirected once more after ten redirects in a row
    Aborted,  // abort() was called
};

const char* describe(FetchError error);

}  // namespace vel
