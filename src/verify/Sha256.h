#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using Sha256Digest = std::array<std::uint8_t, 32>;

// One SHA-256 computation through libcrypto's EVP interface, which uses the
// processor's SHA instructions where it has them. Reusable: Final() starts
// the next computation. Not shared between threads.
class CSha256 {
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    void Update(const void* data, std::size_t length);
    Sha256Digest Final();

private:
    void Start();

    struct evp_md_ctx_st* m_context = nullptr;
};

// The digest as sha256sum prints it: 64 lower-case hexadecimal digits.
std::string DigestHex(const Sha256Digest& digest);

// 64 hexadecimal digits in either case; false for anything else.
bool ParseDigestHex(std::string_view text, Sha256Digest& digest);
