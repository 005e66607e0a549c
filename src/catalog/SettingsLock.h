#pragma once

class CSettingsStore;

// Holds the settings store's lock (CSettingsStore::Lock) until destroyed.
class CSettingsLock {
public:
    explicit CSettingsLock(CSettingsStore* store) : m_pStore(store) {}
    ~CSettingsLock();
    CSettingsLock(CSettingsLock&& other) noexcept : m_pStore(other.m_pStore) { other.m_pStore = nullptr; }
    CSettingsLock(const CSettingsLock&) = delete;
    CSettingsLock& operator=(const CSettingsLock&) = delete;
    CSettingsLock& operator=(CSettingsLock&&) = delete;

private:
    CSettingsStore* m_pStore;
};
