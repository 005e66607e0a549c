#pragma once

#include <locale.h>
#include <utility>

// Owns a locale object of newlocale(); freed with it, moved with it.
class CLocaleHandle {
public:
    CLocaleHandle() = default;
    explicit CLocaleHandle(locale_t locale) : m_locale(locale) {}
    ~CLocaleHandle() {
        if (m_locale != nullptr) {
            freelocale(m_locale);
        }
    }
    CLocaleHandle(CLocaleHandle&& other) noexcept : m_locale(std::exchange(other.m_locale, nullptr)) {}
    CLocaleHandle& operator=(CLocaleHandle&& other) noexcept {
        std::swap(m_locale, other.m_locale);
        return *this;
    }
    CLocaleHandle(const CLocaleHandle&) = delete;
    CLocaleHandle& operator=(const CLocaleHandle&) = delete;

    locale_t Get() const { return m_locale; }

private:
    locale_t m_locale = nullptr;
};
