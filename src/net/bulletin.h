// The bulletin line's exchange with its server: a one-shot HTTP/1.1 GET, the reply taken
// apart into one item, and the check that decides whether the item's link may be opened.
// Portable: Winsock on Windows (the caller has started it), BSD sockets elsewhere.
#pragma once

#include <atomic>
#include <string>

// Result codes of GetPageBody.
enum {
    BULLETIN_OK = 0,
    BULLETIN_ERR_RESOLVE = -1,       // the host name cannot be resolved
    BULLETIN_ERR_SOCKET = -2,        // no socket could be created
    BULLETIN_ERR_CONNECT = -3,       // no address accepted the connection in time
    BULLETIN_ERR_SEND = -4,          // the request was not sent in full by one send call
    BULLETIN_ERR_RECEIVE = -5,       // nothing received (closed, failed, the time limit passed), or cancelled
    BULLETIN_ERR_NO_HEADER_END = -6  // what was received holds no CR LF CR LF
};

inline constexpr char BULLETIN_PATH[] = "link230/";
inline constexpr char BULLETIN_VERSION[] = "1.2";
inline constexpr unsigned short BULLETIN_PORT = 80;
// One buffer holds the request and then the reply; at most size - 1 bytes of it are read.
inline constexpr int BULLETIN_EXCHANGE_SIZE = 2048;
// The bulletin's body buffer: 1023 bytes and the terminating NUL.
inline constexpr int BULLETIN_BODY_SIZE = 1024;

struct BulletinTimeouts {
    int m_nConnectMs = 10000;  // for each address the name resolves to
    int m_nReceiveMs = 10000;  // from the request sent to the whole reply
};

// Asks host on port 80 for path; see GetPageBodyFrom.
int GetPageBody(char* body, int* pLen, const char* host, const char* path, const char* version);

// The request on the wire is exactly "GET /<path> HTTP/1.1\r\nHost:<host>\r\nVer:<version>\r\n\r\n".
// The host is resolved with getaddrinfo (IPv4 and IPv6) and each address is tried in turn
// until one connects within the connect limit. The reply is read, in as many pieces as it
// comes in, until the server closes, IsReplyComplete holds, BULLETIN_EXCHANGE_SIZE - 1 bytes
// are in or the receive limit passes; then what came is taken apart: status and headers are
// ignored, the body is what follows the first empty line (see ExtractBody).
// body: the caller's buffer of at least *pLen + 1 bytes. pLen: in, the longest body accepted;
// out, on success, the length delivered. Returns one of the BULLETIN_ codes.
// pCancel (may be null): when it becomes true the exchange gives up within a fraction of a
// second, with BULLETIN_ERR_CONNECT or BULLETIN_ERR_RECEIVE. Name resolution cannot be cut short.
int GetPageBodyFrom(char* body, int* pLen, const char* host, unsigned short port, const char* path, const char* version,
    const BulletinTimeouts& timeouts, const std::atomic<bool>* pCancel = nullptr);

// The request bytes into buffer (NUL-terminated); their length, or -1 when they do not fit
// in size bytes or a parameter holds a CR or LF (it would forge a header).
int FormatBulletinRequest(char* buffer, int size, const char* path, const char* host, const char* version);

// True when the n bytes received hold the headers' end and, after it, as many bytes as their
// Content-Length (any case, optional blanks) says. Without that header only the server's
// close ends a reply.
bool IsReplyComplete(const char* received, int n);

// Everything after the receive: the body of the n bytes received (they need not end in a
// NUL) is what follows the first CR LF CR LF, cut to *pLen bytes, ended at its first NUL, and
// without a character left incomplete at its end by the cut (a GB18030 lead byte without its
// trail, or the first one to three bytes of a four-byte sequence). body gets it with a NUL,
// *pLen its length. BULLETIN_OK, or BULLETIN_ERR_NO_HEADER_END with body and *pLen untouched.
int ExtractBody(const char* received, int n, char* body, int* pLen);

// The length of text[0, length) without a GB18030 character cut short at its end, decoding
// from the start as the text codec does.
int CompleteGbLength(const char* text, int length);

// The item of a body: after leading spaces, CR, LF and TAB, a "*", the link up to the first
// TAB, the TAB, and the text to the end (a NUL ends the body). True with link and text set
// when the body holds an item; false with both untouched otherwise, also for a "*" without TAB.
bool ParseBulletinBody(const char* body, std::string* link, std::string* text);

// True only for a well-formed absolute web address that is safe to hand to the shell:
//   scheme "http" or "https" (any case), "://",
//   host: a DNS name (labels of letters, digits and '-', joined by single dots) or a
//         bracketed IPv6 literal (hex digits, ':' and '.', no zone),
//   optionally ':' and a port of 1 to 5 digits (1-65535),
//   optionally a path, query or fragment starting with '/', '?' or '#', made of ASCII
//   letters, digits and - . _ ~ / ? # : @ & = + ; , * ( ) and %XX escapes.
// Refused among others: other schemes (file:, javascript:, mailto:), UNC and relative paths,
// user info ("http://user@host": it hides the real host), empty hosts, spaces, quotes,
// backslashes, control characters, bytes above 0x7F and the shell's | < > ^ ` ' " $ ! { }.
bool IsSafeWebLink(const char* link);
