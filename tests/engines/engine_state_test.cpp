// What each engine looks like after Final and across Init, the provider
// engines' failures, and MD2/MD4 of our own against the library.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/error_record.h"
#include "common/utf.h"
#include "engine_test_util.h"
#include "engines/crc32.h"
#include "engines/csp_hash.h"
#include "engines/hash_115.h"
#include "engines/md2.h"
#include "engines/md5.h"
#include "engines/sha1.h"

namespace qm {
namespace {

std::u16string SystemText(int code) {
    std::u16string text;
    GetSystemErrorMessage(static_cast<uint32_t>(code), text);
    return text;
}

TEST(EngineState, Crc32FinalKeepsTheRegisterAndItsTextFollowsTheLastValue) {
    CQmCRC32 crc;
    ASSERT_TRUE(crc.Init());
    crc.Update("123456789", 9);
    uint8_t first[4], second[4];
    ASSERT_EQ(crc.Final(first), 4u);
    ASSERT_EQ(crc.Final(second), 4u);
    EXPECT_EQ(std::memcmp(first, second, 4), 0);
    EXPECT_EQ(test::Hex(first, 4), "2639f4cb");

    // The text comes from the register; the digest argument is not read.
    const uint8_t unrelated[4] = {1, 2, 3, 4};
    std::u16string text;
    crc.GetHashText(unrelated, text);
    EXPECT_EQ(text, u"CBF43926");
    ASSERT_TRUE(crc.Init());
    crc.GetHashText(unrelated, text);
    EXPECT_EQ(text, u"00000000");
}

TEST(EngineState, Md5AndSha1CannotBeContinuedAfterFinal) {
    CQmMD5 md5;
    CQmSHA1 sha1;
    for (CQmHashObject* engine : {static_cast<CQmHashObject*>(&md5), static_cast<CQmHashObject*>(&sha1)}) {
        ASSERT_TRUE(engine->Init());
        engine->Update("abc", 3);
        uint8_t first[QM_MAX_DIGEST_SIZE], second[QM_MAX_DIGEST_SIZE];
        const uint32_t size = engine->Final(first);
        ASSERT_EQ(size, engine->GetHashSize());
        engine->Final(second);
        EXPECT_NE(std::memcmp(first, second, size), 0) << Utf16ToUtf8(engine->GetName());
        // Init makes the engine whole again.
        EXPECT_EQ(test::DigestHex(*engine, "abc"), test::Hex(first, size)) << Utf16ToUtf8(engine->GetName());
    }
}

TEST(EngineState, FormatHashTextNeedsRoomForEveryDigitAndTheNul) {
    CQmSHA1 sha1;
    uint8_t digest[QM_MAX_DIGEST_SIZE];
    ASSERT_TRUE(sha1.HashText(u"abc", -1, 2, digest));
    char16_t buffer[41];
    ASSERT_TRUE(sha1.FormatHashText(digest, buffer, 41));
    EXPECT_EQ(std::u16string(buffer), u"A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_FALSE(sha1.FormatHashText(digest, buffer, 40));
    EXPECT_EQ(GetLastErrorText(), u"获取哈希值文本失败:缓冲区不足。");
    EXPECT_EQ(buffer[0], u'\0');

    // The 115 engine's own text is the 80 digits without the separator.
    CQm115SHA1 link;
    ASSERT_TRUE(link.HashText(u"abc", -1, 2, digest));
    std::u16string text;
    link.GetHashText(digest, text);
    EXPECT_EQ(text, u"A9993E364706816ABA3E25717850C26C9CD0D89DA9993E364706816ABA3E25717850C26C9CD0D89D");
}

TEST(ProviderEngine, ConsecutiveDigestsAreIndependentAndFinalRepeats) {
    CQmCspSha512 sha512;
    uint8_t digest[QM_MAX_DIGEST_SIZE];
    std::memset(digest, 0xEE, sizeof digest);
    ASSERT_TRUE(sha512.Init());
    EXPECT_EQ(sha512.GetBackend(), CQmCspHashObject::Backend::Library);
    sha512.Update("abc", 3);
    ASSERT_EQ(sha512.Final(digest), 64u);
    const std::string abc = test::Hex(digest, 64);
    EXPECT_EQ(abc, test::ReferenceHex("SHA512", "abc"));
    // A finished hash object keeps its value; more data is not taken.
    sha512.Update("x", 1);
    ASSERT_EQ(sha512.Final(digest), 64u);
    EXPECT_EQ(test::Hex(digest, 64), abc);
    // The next Init starts from nothing: "abc" fed again gives the same.
    ASSERT_TRUE(sha512.Init());
    sha512.Update("ab", 2);
    sha512.Update("c", 1);
    ASSERT_EQ(sha512.Final(digest), 64u);
    EXPECT_EQ(test::Hex(digest, 64), abc);
}

TEST(ProviderEngine, UnavailableAlgorithmFailsInitUpdateAndFinal) {
    SetCspAlgorithmUnavailableForTesting(QM_CALG_SHA_256, true);
    CQmCspSha256 sha256;
    EXPECT_FALSE(sha256.Init());
    EXPECT_EQ(GetLastErrorText(), u"创建HASH对象失败:" + SystemText(os::kErrorNotSupported));
    sha256.Update("abc", 3);  // nothing to feed: must not crash
    uint8_t digest[QM_MAX_DIGEST_SIZE];
    EXPECT_EQ(sha256.Final(digest), 0u);
    EXPECT_EQ(GetLastErrorText(), u"获取HASH值失败:" + SystemText(os::kErrorInvalidArgument));

    // The same engine recovers once the algorithm is there again, and a
    // digest begun before a failed Init does not survive it.
    SetCspAlgorithmUnavailableForTesting(QM_CALG_SHA_256, false);
    ASSERT_TRUE(sha256.Init());
    sha256.Update("abc", 3);
    SetCspAlgorithmUnavailableForTesting(QM_CALG_SHA_256, true);
    EXPECT_FALSE(sha256.Init());
    SetCspAlgorithmUnavailableForTesting(QM_CALG_SHA_256, false);
    EXPECT_EQ(sha256.Final(digest), 0u);
    EXPECT_EQ(test::DigestHex(sha256, "abc"), test::ReferenceHex("SHA256", "abc"));
}

TEST(ProviderEngine, OwnMd2AndMd4StandInWhereTheLibraryLacksThem) {
    CQmCspMd2 md2;
    ASSERT_TRUE(md2.Init());
    EXPECT_NE(md2.GetBackend(), CQmCspHashObject::Backend::None);
    if (test::ReferenceHex("MD2", "").empty()) {
        EXPECT_EQ(md2.GetBackend(), CQmCspHashObject::Backend::OwnCode);
    }

    // Our MD4 must give the library's digests wherever the library has one.
    const std::string data = test::RandomBytes(70000, 4);
    if (test::ReferenceHex("MD4", "").empty()) GTEST_SKIP() << "the library has no MD4 to compare with";
    for (size_t length : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 1000u, 70000u}) {
        Md4Context own;
        own.Init();
        // In two pieces so the buffering is exercised too.
        own.Update(reinterpret_cast<const uint8_t*>(data.data()), length / 3);
        own.Update(reinterpret_cast<const uint8_t*>(data.data()) + length / 3, length - length / 3);
        uint8_t digest[16];
        own.Final(digest);
        EXPECT_EQ(test::Hex(digest, 16), test::ReferenceHex("MD4", data.substr(0, length))) << length;
    }
}

TEST(ProviderEngine, EnginesOnSeveralThreadsAtOnceGiveCorrectDigests) {
    // Each thread makes and drops its own engines, as hasher threads do.
    const std::string data = test::RandomBytes(300000, 8);
    const std::string sha256 = test::ReferenceHex("SHA256", data);
    const std::string md4 = test::ReferenceHex("MD4", data);  // empty: the library has none
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 3; ++round) {
                CQmCspSha256 a;
                CQmCspMd4 b;
                if (test::DigestHex(a, data, {65536}) != sha256) ++mismatches;
                if (!md4.empty() && test::DigestHex(b, data, {4096}) != md4) ++mismatches;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace qm
