#include "Sha256.h"

#include <charconv>
#include <new>
#include <openssl/evp.h>

CSha256::CSha256() : m_context(EVP_MD_CTX_new()) {
    if (m_context == nullptr) {
        throw std::bad_alloc();
    }
    Start();
}

CSha256::~CSha256() { EVP_MD_CTX_free(m_context); }

void CSha256::Start() {
    if (EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) != 1) {
        throw std::bad_alloc(); // only fails when libcrypto cannot allocate
    }
}

void CSha256::Update(const void* data, std::size_t length) {
    if (length != 0) {
        EVP_DigestUpdate(m_context, data, length);
    }
}

Sha256Digest CSha256::Final() {
    Sha256Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context, digest.data(), &length);
    Start();
    return digest;
}

std::string DigestHex(const Sha256Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(digest.size() * 2, '0');
    for (std::size_t i = 0; i < digest.size(); ++i) {
        text[2 * i] = kDigits[digest[i] >> 4];
        text[2 * i + 1] = kDigits[digest[i] & 15];
    }
    return text;
}

bool ParseDigestHex(std::string_view text, Sha256Digest& digest) {
    if (text.size() != digest.size() * 2) {
        return false;
    }
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const char* first = text.data() + 2 * i;
        unsigned value = 0;
        const auto [end, error] = std::from_chars(first, first + 2, value, 16);
        if (error != std::errc() || end != first + 2) {
            return false; // also refuses a sign, which from_chars would take
        }
        digest[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}
