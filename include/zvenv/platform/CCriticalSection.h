#pragma once

#include <mutex>

/// \file
/// The platform's lock and its scope guard.

/// A recursive lock: the thread that holds it may take it again.
class CCriticalSection {
public:
    /// A lock that nobody holds. The spin count is accepted for the platform's
    /// signature and not used.
    explicit CCriticalSection(unsigned long spinCount = 0) { (void)spinCount; }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    /// Waits until no other thread holds the lock and takes it; a thread that
    /// holds it already takes it once more.
    void Lock() { m_mutex.lock(); }
    /// Gives up one hold of the lock, which the calling thread must have.
    void Unlock() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

/// Holds a CCriticalSection for the lifetime of the scope, or until Unlock.
class CSingleLock {
public:
    /// Guards `cs` (null guards nothing) and takes it at once when initialLock is true.
    explicit CSingleLock(CCriticalSection* cs, bool initialLock = true) : m_cs(cs)
    {
        if (initialLock)
            Lock();
    }
    /// Gives the lock up if this guard holds it.
    ~CSingleLock() { Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

    /// Takes the lock unless this guard holds it already.
    void Lock()
    {
        if (m_cs && !m_locked) {
            m_cs->Lock();
            m_locked = true;
        }
    }
    /// Gives the lock up if this guard holds it.
    void Unlock()
    {
        if (m_cs && m_locked) {
            m_cs->Unlock();
            m_locked = false;
        }
    }
    /// True while this guard holds the lock.
    bool IsLocked() const { return m_locked; }

private:
    CCriticalSection* m_cs;
    bool m_locked = false;
};
