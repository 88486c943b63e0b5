#pragma once

#include <mutex>

// A recursive lock: the thread that holds it may take it again.
class CCriticalSection {
public:
    // The spin count is accepted for the platform's signature.
    explicit CCriticalSection(unsigned long spinCount = 0) { (void)spinCount; }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

// Holds a CCriticalSection for the lifetime of the scope, or until Unlock.
class CSingleLock {
public:
    explicit CSingleLock(CCriticalSection* cs, bool initialLock = true) : m_cs(cs)
    {
        if (initialLock)
            Lock();
    }
    ~CSingleLock() { Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

    void Lock()
    {
        if (m_cs && !m_locked) {
            m_cs->Lock();
            m_locked = true;
        }
    }
    void Unlock()
    {
        if (m_cs && m_locked) {
            m_cs->Unlock();
            m_locked = false;
        }
    }
    bool IsLocked() const { return m_locked; }

private:
    CCriticalSection* m_cs;
    bool m_locked = false;
};
