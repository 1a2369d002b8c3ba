// Traditional PKWARE encryption: the three keys and byte-wise decryption.
#include "archive/PkwareCipher.h"

#include <zlib.h>

namespace glyphtint::archive {
namespace {

// One byte of the ZIP CRC-32 register step, through zlib's table.
uint32_t CrcStep(uint32_t crc, uint8_t byte)
{
    static const z_crc_t* const table = get_crc_table();
    return (crc >> 8) ^ static_cast<uint32_t>(table[(crc ^ byte) & 0xFFu]);
}

} // namespace

PkwareKeys::PkwareKeys(std::string_view password)
{
    for (char c : password) {
        Update(static_cast<uint8_t>(c));
    }
}

uint8_t PkwareKeys::StreamByte() const
{
    const uint32_t temp = (key2_ | 2u) & 0xFFFFu;
    return static_cast<uint8_t>((temp * (temp ^ 1u)) >> 8);
}

void PkwareKeys::Update(uint8_t plain)
{
    key0_ = CrcStep(key0_, plain);
    key1_ = (key1_ + (key0_ & 0xFFu)) * 134775813u + 1u;
    key2_ = CrcStep(key2_, static_cast<uint8_t>(key1_ >> 24));
}

void PkwareKeys::Decrypt(std::span<uint8_t> bytes)
{
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(b ^ StreamByte());
        Update(b);
    }
}

void PkwareKeys::Encrypt(std::span<uint8_t> bytes)
{
    for (uint8_t& b : bytes) {
        const uint8_t plain = b;
        b = static_cast<uint8_t>(plain ^ StreamByte());
        Update(plain);
    }
}

} // namespace glyphtint::archive
