// One owner for every kind of system handle: a file HANDLE, a descriptor, a socket, an
// addrinfo list, a registry key. The traits of a kind say what "no handle" is and how to close
// one; the owner closes what it holds exactly once, on every path out of a scope.
#pragma once

#include <utility>

// Traits: `using Handle = ...; static Handle Invalid(); static void Close(Handle);`
template <typename Traits> class CScopedHandle {
public:
    using Handle = typename Traits::Handle;

    CScopedHandle() = default;
    explicit CScopedHandle(Handle h) : m_h(h) {}
    ~CScopedHandle() { Reset(); }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;
    CScopedHandle(CScopedHandle&& other) noexcept : m_h(other.Release()) {}
    CScopedHandle& operator=(CScopedHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const { return m_h; }
    bool IsValid() const { return m_h != Traits::Invalid(); }
    // For functions that hand a new handle out through a pointer: whatever was held is closed.
    Handle* Out()
    {
        Reset();
        return &m_h;
    }
    // Gives the handle up without closing it.
    Handle Release() { return std::exchange(m_h, Traits::Invalid()); }
    // Closes what is held (if anything) and takes h.
    void Reset(Handle h = Traits::Invalid())
    {
        if (m_h != Traits::Invalid())
            Traits::Close(m_h);
        m_h = h;
    }
    // Closes now; true when there was nothing to close or the close succeeded (a file's last
    // buffered bytes can fail to reach the disk only here).
    bool Close()
    {
        if (m_h == Traits::Invalid())
            return true;
        return Traits::Close(std::exchange(m_h, Traits::Invalid()));
    }

private:
    Handle m_h = Traits::Invalid();
};
