// Traditional PKWARE encryption: the three keys and byte-wise decryption.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace glyphtint::archive {

class PkwareKeys {
public:
    // Keys initialised from the password's bytes.
    explicit PkwareKeys(std::string_view password);

    // Decrypts bytes in place; the keys carry on from one call to the next.
    void Decrypt(std::span<uint8_t> bytes);
    // Encrypts bytes in place (used to make test data).
    void Encrypt(std::span<uint8_t> bytes);

private:
    uint8_t StreamByte() const;
    void Update(uint8_t plain);

    uint32_t key0_ = 0x12345678u;
    uint32_t key1_ = 0x23456789u;
    uint32_t key2_ = 0x34567890u;
};

} // namespace glyphtint::archive
