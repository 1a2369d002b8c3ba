// Traditional PKWARE encryption against known vectors.
#include "archive/PkwareCipher.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using glyphtint::archive::PkwareKeys;

std::vector<uint8_t> FromHex(const std::string& hex)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

struct CipherVector {
    const char* password;
    std::vector<uint8_t> cipher;
    const char* plainHex;
};

class PkwareVectors : public ::testing::TestWithParam<CipherVector> { };

// Plain texts from an independent implementation of the same cipher.
TEST_P(PkwareVectors, DecryptsKnownBytes)
{
    std::vector<uint8_t> bytes = GetParam().cipher;
    PkwareKeys(GetParam().password).Decrypt(bytes);
    EXPECT_EQ(bytes, FromHex(GetParam().plainHex));
}

const CipherVector kVectors[] = {
    {"secret", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, "c84ed9bdad8b91daa848363543fb3393"},
    {"", std::vector<uint8_t>(8, 0), "abdb044b12ce7c66"},
};
INSTANTIATE_TEST_SUITE_P(Table, PkwareVectors, ::testing::ValuesIn(kVectors));

TEST(PkwareKeys, KeysCarryOnAcrossCalls)
{
    std::vector<uint8_t> whole(40);
    for (size_t i = 0; i < whole.size(); ++i) {
        whole[i] = static_cast<uint8_t>(i * 7);
    }
    std::vector<uint8_t> pieces = whole;
    PkwareKeys one("pw");
    one.Encrypt(whole);
    PkwareKeys two("pw");
    two.Encrypt(std::span<uint8_t>(pieces).first(13));
    two.Encrypt(std::span<uint8_t>(pieces).subspan(13));
    EXPECT_EQ(whole, pieces);
    PkwareKeys back("pw");
    back.Decrypt(pieces);
    for (size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i], static_cast<uint8_t>(i * 7));
    }
}

} // namespace
