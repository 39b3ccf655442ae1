// Hash text rules: digest to text and back for every algorithm, the buffer
// sizes each needs, and the hexadecimal helpers.
#include "engines/hash_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/error_record.h"
#include "engine_test_util.h"
#include "engines/hash_object.h"

namespace qm {
namespace {

constexpr char16_t kTooSmall[] = u"获取哈希值文本失败:缓冲区不足。";

struct Algorithm {
    int32_t classId;
    uint32_t size;
    size_t textLength;
};
constexpr Algorithm kAlgorithms[] = {{QM_HASH_CRC32, 4, 8},   {QM_HASH_MD2, 16, 32},    {QM_HASH_MD4, 16, 32},
                                     {QM_HASH_MD5, 16, 32},   {QM_HASH_SHA1, 20, 40},   {QM_HASH_SHA256, 32, 64},
                                     {QM_HASH_SHA384, 48, 96}, {QM_HASH_SHA512, 64, 128}, {QM_HASH_115, 40, 81}};

TEST(HashText, EveryAlgorithmRoundTripsAndNeedsExactlyOneMoreCharacterThanItsText) {
    const std::string bytes = test::RandomBytes(64, 1);
    const auto* digest = reinterpret_cast<const uint8_t*>(bytes.data());
    for (const Algorithm& alg : kAlgorithms) {
        char16_t buffer[QM_HASH_TEXT_BUFFER_CHARS];
        ASSERT_TRUE(GetHashValueText(alg.classId, digest, alg.size, buffer, QM_HASH_TEXT_BUFFER_CHARS));
        const std::u16string text(buffer);
        EXPECT_EQ(text.size(), alg.textLength) << alg.classId;
        EXPECT_TRUE(text.find_first_of(u"abcdef") == std::u16string::npos) << "upper case only";

        uint8_t back[QM_MAX_DIGEST_SIZE] = {};
        ASSERT_EQ(ParseHashValueText(alg.classId, text.c_str(), back, QM_MAX_DIGEST_SIZE), alg.size) << alg.classId;
        EXPECT_EQ(std::memcmp(back, digest, alg.size), 0) << alg.classId;
        // Lower case reads the same.
        std::u16string lower = text;
        for (char16_t& c : lower) c = (c >= u'A' && c <= u'F') ? static_cast<char16_t>(c + 32) : c;
        std::memset(back, 0, sizeof back);
        ASSERT_EQ(ParseHashValueText(alg.classId, lower, back, QM_MAX_DIGEST_SIZE), alg.size);
        EXPECT_EQ(std::memcmp(back, digest, alg.size), 0) << alg.classId;

        ASSERT_TRUE(GetHashValueText(alg.classId, digest, alg.size, buffer, alg.textLength + 1));
        EXPECT_FALSE(GetHashValueText(alg.classId, digest, alg.size, buffer, alg.textLength)) << alg.classId;
        EXPECT_EQ(GetLastErrorText(), kTooSmall);
        EXPECT_EQ(buffer[0], u'\0');
    }
}

TEST(HashText, Crc32IsOneLittleEndianValue) {
    const uint8_t digest[4] = {0x26, 0x39, 0xF4, 0xCB};
    std::u16string text;
    ASSERT_TRUE(GetHashValueText(QM_HASH_CRC32, digest, 4, text));
    EXPECT_EQ(text, u"CBF43926");
    uint8_t back[4] = {};
    ASSERT_EQ(ParseHashValueText(QM_HASH_CRC32, u"12345678", back, 4), 4u);
    EXPECT_EQ(test::Hex(back, 4), "78563412");
    // Not a 32-bit number: nothing is read.
    EXPECT_EQ(ParseHashValueText(QM_HASH_CRC32, u"123456789", back, 4), 0u);
    EXPECT_EQ(ParseHashValueText(QM_HASH_CRC32, u"xyz", back, 4), 0u);
    EXPECT_EQ(ParseHashValueText(QM_HASH_CRC32, u"12345678", back, 3), 0u);
}

TEST(HashText, LinkHashHalvesAreSeparatedByABar) {
    uint8_t digest[40];
    for (int i = 0; i < 40; ++i) digest[i] = static_cast<uint8_t>(i < 20 ? 0xAB : 0x01);
    std::u16string text;
    ASSERT_TRUE(GetHashValueText(QM_HASH_115, digest, 40, text));
    EXPECT_EQ(text.size(), 81u);
    EXPECT_EQ(text[40], u'|');
    std::u16string first, second;
    for (int i = 0; i < 20; ++i) {
        first += u"AB";
        second += u"01";
    }
    EXPECT_EQ(text, first + u"|" + second);

    // The halves joined without the bar read back the same.
    uint8_t back[40] = {};
    const std::u16string joined = text.substr(0, 40) + text.substr(41);
    ASSERT_EQ(ParseHashValueText(QM_HASH_115, joined, back, 40), 40u);
    EXPECT_EQ(std::memcmp(back, digest, 40), 0);
}

TEST(HashText, Sha512NeedsMoreThan128Characters) {
    uint8_t digest[64] = {};
    char16_t buffer[129];
    EXPECT_FALSE(GetHashValueText(QM_HASH_SHA512, digest, 64, buffer, 128));
    EXPECT_EQ(GetLastErrorText(), kTooSmall);
    EXPECT_TRUE(GetHashValueText(QM_HASH_SHA512, digest, 64, buffer, 129));
    EXPECT_EQ(std::u16string(buffer), std::u16string(128, u'0'));
}

TEST(HashText, BytesToHexTextLeavesNoSeparatorAfterTheLastByte) {
    const uint8_t data[3] = {0x0A, 0xFF, 0x10};
    char16_t buffer[64];
    EXPECT_EQ(BytesToHexText(data, 3, nullptr, buffer, 64), 6u);
    EXPECT_EQ(std::u16string(buffer), u"0AFF10");
    EXPECT_EQ(BytesToHexText(data, 3, u"0x%02X, ", buffer, 64), 16u);
    EXPECT_EQ(std::u16string(buffer), u"0x0A, 0xFF, 0x10");
    EXPECT_EQ(BytesToHexText(data, 3, u"%02X-"), u"0A-FF-10");
    EXPECT_EQ(BytesToHexText(data, 0, u"%02X-", buffer, 64), 0u);
    EXPECT_EQ(buffer[0], u'\0');
    // A buffer that holds only part stops before the byte that does not fit.
    EXPECT_EQ(BytesToHexText(data, 3, u"0x%02X, ", buffer, 12), 6u);
    EXPECT_EQ(std::u16string(buffer), u"0x0A, ");
    EXPECT_EQ(BytesToHexText(data, 3, nullptr, buffer, 4), 2u);
    EXPECT_EQ(std::u16string(buffer), u"0A");
}

TEST(HashText, HexTextToBytesConvertsPairsAsNumbers) {
    uint8_t out[8] = {};
    EXPECT_EQ(HexTextToBytes(u"0aFf", 8, out, 8), 2u);
    EXPECT_EQ(test::Hex(out, 2), "0aff");
    // A pair that does not start with a digit is 0; a bad second character
    // leaves the value of the first.
    EXPECT_EQ(HexTextToBytes(u"G1Ax", 8, out, 8), 2u);
    EXPECT_EQ(test::Hex(out, 2), "000a");
    // A NUL in either place of a pair ends the text; so do the limits.
    EXPECT_EQ(HexTextToBytes(u"ABC", 8, out, 8), 1u);
    EXPECT_EQ(HexTextToBytes(u"AABBCCDD", 2, out, 8), 2u);
    EXPECT_EQ(HexTextToBytes(u"AABBCCDD", 8, out, 3), 3u);
}

TEST(HashText, IsHexTextChecksDigitsAndParity) {
    EXPECT_TRUE(IsHexText(u"aB3f", -1, true));
    EXPECT_FALSE(IsHexText(u"aB3", -1, true));
    EXPECT_TRUE(IsHexText(u"aB3", -1, false));
    EXPECT_FALSE(IsHexText(u"a3x0", -1, false));
    EXPECT_FALSE(IsHexText(u"a3x0", -1, true));
    EXPECT_TRUE(IsHexText(u"a3x0", 2, true));  // only the first two count
    EXPECT_TRUE(IsHexText(u"ab\0x", 8, true));  // the check stops at the NUL
    EXPECT_FALSE(IsHexText(nullptr, -1, false));
}

}  // namespace
}  // namespace qm
