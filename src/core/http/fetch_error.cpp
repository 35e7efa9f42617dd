#include "core/http/fetch_error.h"

namespace vel {

const char* describe(FetchError error)
{
    switch (error) {
    case FetchError::None:
        return "no error";
    case FetchError::InvalidUrl:
        return "invalid URL";
    case FetchError::UnsupportedScheme:
        return "unsupported scheme";
    case FetchError::LookupFailed:
        return "host name lookup failed";
    case FetchError::ConnectFailed:
        return "connection failed";
    case FetchError::ConnectTimedOut:
        return "connection timed out";
    case FetchError::TlsFailed:
        return "TLS handshake failed";
    case FetchError::CertificateRejected:
        return "certificate rejected";
    case FetchError::SendFailed:
        return "request could not be sent";
    case FetchError::ReceiveFailed:
        return "connection broken while reading";
    case FetchError::ReadTimedOut:
        return "read timed out";
    case FetchError::TooSlow:
        return "answer too slow";
    case FetchError::ClosedBeforeStatus:
        return "connection closed before the status line";
    case FetchError::ClosedInHead:
        return "connection closed inside the header block";
    case FetchError::ClosedInChunkedBody:
        return "connection closed inside the chunked body";
    case FetchError::ClosedInBody:
        return "connection closed before the announced length";
    case FetchError::ConflictingLengths:
        return "conflicting Content-Length values";
    case FetchError::LineTooLong:
        return "response line too long";
    case FetchError::HeadTooLarge:
        return "response head too large";
    case FetchError::BodyTooLarge:
        return "response body too large";
    case FetchError::ChunkSizeTooLarge:
        return "chunk size too large";
    case FetchError::RedirectRefused:
        return "redirect not followed";
    case FetchError::RedirectLoop:
        return "redirect loop";
    case FetchError::TooManyRedirects:
        return "too many redirects";
    case FetchError::Aborted:
        return "aborted";
    }
    return "unknown error";
}

}  // namespace vel
