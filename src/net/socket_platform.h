// What the bulletin exchange needs of the system's sockets, one implementation per platform
// (socket_w32.cpp: Winsock, which the caller has started; socket_posix.cpp: BSD sockets).
// Every socket is non-blocking from the start, so that no wait outlasts its limit, and waits
// are cut into short slices that notice a cancel request.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "base/scoped_handle.h"

struct addrinfo;  // the system's address list, opaque here

namespace net_platform {

using Clock = std::chrono::steady_clock;

// A SOCKET (an unsigned pointer-sized number) or a descriptor, either way -1 when none.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

bool CloseSocket(SocketHandle s);
void FreeAddresses(addrinfo* list);

struct SocketTraits {
    using Handle = SocketHandle;
    static Handle Invalid() { return kNoSocket; }
    static bool Close(Handle s) { return CloseSocket(s); }
};
struct AddressTraits {
    using Handle = addrinfo*;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle list)
    {
        FreeAddresses(list);
        return true;
    }
};
using CSocket = CScopedHandle<SocketTraits>;
using CAddresses = CScopedHandle<AddressTraits>;

// The IPv4 and IPv6 stream addresses of host and port; empty when the name does not resolve.
CAddresses ResolveTcp(const char* host, unsigned short port);
const addrinfo* NextAddress(const addrinfo* address);

enum class Wait { Ready, Failed, TimedOut };
// Waits until s is writable (wantWrite) or readable, the deadline passes or *pCancel is set.
Wait WaitForSocket(SocketHandle s, bool wantWrite, Clock::time_point deadline, const std::atomic<bool>* pCancel);

// A socket connected to address within limitMs, or none; *pCreated becomes true when a socket
// could be made at all.
CSocket ConnectTo(const addrinfo* address, int limitMs, const std::atomic<bool>* pCancel, bool* pCreated);

// Bytes sent or received by one call, 0 for a closed peer, negative on failure.
long SendBytes(SocketHandle s, const char* data, int length);
long ReceiveBytes(SocketHandle s, char* buffer, int size);
// Both directions shut down before the close, so the peer sees an orderly end.
void ShutdownBoth(SocketHandle s);

}  // namespace net_platform
