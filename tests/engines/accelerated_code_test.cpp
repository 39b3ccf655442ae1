// The processor-specific code against the portable code on the same inputs:
// every length up to a few blocks and many large ones, every start alignment
// within a cache line, random starting registers and states. Each
// implementation is a parameter; one the processor cannot run is skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "engine_test_util.h"
#include "engines/crc32.h"
#include "engines/crc32_impl.h"
#include "engines/hash_115.h"
#include "engines/sha1.h"
#include "engines/sha1_impl.h"

namespace qm {
namespace {

// Test data with room to start at any offset within 64 bytes.
const std::string& Pool() {
    static const std::string pool = test::RandomBytes((1u << 20) + 4096, 77);
    return pool;
}

const uint8_t* At(size_t offset) { return reinterpret_cast<const uint8_t*>(Pool().data()) + offset; }

class Crc32Implementations : public ::testing::TestWithParam<size_t> {
protected:
    const Crc32Implementation& Impl() const { return GetCrc32Implementations()[GetParam()]; }
    void SetUp() override {
        if (!Impl().usable) GTEST_SKIP() << Impl().name << " is not available here";
    }
};

TEST_P(Crc32Implementations, AgreesWithTheByteTableOnEveryLengthAndAlignment) {
    std::mt19937 rng(11);
    for (size_t length = 0; length <= 1100; ++length) {
        for (size_t align = 0; align < 64; align += (length < 300 ? 1 : 13)) {
            const uint32_t start = rng();
            ASSERT_EQ(Impl().update(start, At(align), length), Crc32UpdateBytewise(start, At(align), length))
                << Impl().name << " length " << length << " alignment " << align;
        }
    }
    for (size_t length : {4095u, 4096u, 65537u, 131072u + 5u, (1u << 20) + 63u}) {
        for (size_t align : {0u, 1u, 31u}) {
            ASSERT_EQ(Impl().update(0xFFFFFFFFu, At(align), length),
                      Crc32UpdateBytewise(0xFFFFFFFFu, At(align), length))
                << Impl().name << " length " << length << " alignment " << align;
        }
    }
}

TEST_P(Crc32Implementations, EngineGivesTheCheckValueUnderAnySplit) {
    CQmCRC32 engine(Impl().update);
    EXPECT_EQ(test::DigestHex(engine, "123456789"), "2639f4cb");
    const std::string data = Pool().substr(3, 200000);
    const std::string whole = test::DigestHex(engine, data);
    CQmCRC32 reference(Crc32UpdateBytewise);
    EXPECT_EQ(whole, test::DigestHex(reference, data));
    EXPECT_EQ(test::DigestHex(engine, data, {1, 255, 256, 511, 512, 4097}), whole);
}

INSTANTIATE_TEST_SUITE_P(All, Crc32Implementations,
                         ::testing::Range<size_t>(0, GetCrc32Implementations().size()),
                         [](const auto& info) { return std::string(GetCrc32Implementations()[info.param].name); });

class Sha1Implementations : public ::testing::TestWithParam<size_t> {
protected:
    const Sha1Implementation& Impl() const { return GetSha1Implementations()[GetParam()]; }
    void SetUp() override {
        if (!Impl().usable) GTEST_SKIP() << Impl().name << " is not available here";
    }
};

TEST_P(Sha1Implementations, CompressionAgreesWithPortableFromAnyState) {
    std::mt19937 rng(3);
    for (size_t blocks = 1; blocks <= 9; ++blocks) {
        for (size_t align = 0; align < 64; align += 7) {
            uint32_t a[5], b[5];
            for (int i = 0; i < 5; ++i) a[i] = b[i] = rng();
            Impl().blocks(a, At(align), blocks);
            Sha1BlocksPortable(b, At(align), blocks);
            ASSERT_EQ(std::memcmp(a, b, sizeof a), 0) << Impl().name << " blocks " << blocks << " align " << align;
        }
    }
}

TEST_P(Sha1Implementations, EngineMatchesTheLibraryOnEveryLengthAndAlignment) {
    CQmSHA1 engine(Impl().blocks);
    for (size_t length = 0; length <= 300; ++length) {
        const size_t align = length % 64;
        const std::string data(reinterpret_cast<const char*>(At(align)), length);
        ASSERT_EQ(test::DigestHex(engine, data), test::ReferenceHex("SHA1", data))
            << Impl().name << " length " << length;
    }
    const std::string big = Pool().substr(5, 1u << 20);
    EXPECT_EQ(test::DigestHex(engine, big), test::ReferenceHex("SHA1", big));
    EXPECT_EQ(test::DigestHex(engine, big, {1000, 3, 64}), test::ReferenceHex("SHA1", big));
}

TEST_P(Sha1Implementations, LinkHashSnapshotsTheFirst128KiB) {
    CQm115SHA1 engine(Impl().blocks);
    for (size_t length : {131071u, 131072u, 131073u, 400000u}) {
        const std::string data = Pool().substr(1, length);
        const std::string first = data.substr(0, 131072);
        const std::string expected = test::ReferenceHex("SHA1", data) + test::ReferenceHex("SHA1", first);
        EXPECT_EQ(test::DigestHex(engine, data), expected) << length;
        EXPECT_EQ(test::DigestHex(engine, data, {131072}), expected) << length;
        EXPECT_EQ(test::DigestHex(engine, data, {4096, 1}), expected) << length;
    }
}

INSTANTIATE_TEST_SUITE_P(All, Sha1Implementations,
                         ::testing::Range<size_t>(0, GetSha1Implementations().size()),
                         [](const auto& info) { return std::string(GetSha1Implementations()[info.param].name); });

TEST(CodeSelection, FastestUsableCodeIsChosen) {
    Crc32UpdateFn bestCrc = nullptr;
    for (const auto& impl : GetCrc32Implementations()) {
        if (impl.usable) bestCrc = impl.update;
    }
    Sha1BlocksFn bestSha1 = nullptr;
    for (const auto& impl : GetSha1Implementations()) {
        if (impl.usable) bestSha1 = impl.blocks;
    }
    if (const char* forced = std::getenv("QUORVIA_FORCE_PORTABLE"); forced && std::strcmp(forced, "1") == 0) {
        GTEST_SKIP() << "portable code is forced in this run";
    }
    EXPECT_EQ(GetCrc32Update(), bestCrc);
    EXPECT_EQ(GetSha1Blocks(), bestSha1);
}

// The choice is made once per process, so it is checked in a fresh one.
TEST(CodeSelection, EnvironmentForcesPortableCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("QUORVIA_FORCE_PORTABLE", "1", 1);
            const bool portable = GetCrc32Update() == Crc32UpdateSlicing8 && GetSha1Blocks() == Sha1BlocksPortable;
            std::_Exit(portable ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qm
