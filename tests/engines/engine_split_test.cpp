// Any split of the input into Update calls gives the digest of one call, for
// every registered engine: single bytes, odd sizes, pieces that end exactly
// at or cross byte 131072 (where the 115 hash takes its snapshot), and the
// pipeline's 1 MiB blocks.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/utf.h"
#include "engine_test_util.h"
#include "engines/hash_catalog.h"
#include "engines/register_engines.h"

namespace qm {
namespace {

using test::DigestHex;

TEST(EngineSplit, EveryEngineGivesTheSameDigestForEverySplit) {
    CQmHashCatalog catalog;
    RegisterBuiltInEngines(catalog);
    ASSERT_EQ(catalog.GetCount(), 9);

    const std::string data = test::RandomBytes(131072 * 2 + 777, 2024);
    std::mt19937 rng(5);
    std::vector<size_t> randomSizes;
    for (int i = 0; i < 64; ++i) randomSizes.push_back(rng() % 9000);
    const std::vector<std::vector<size_t>> splits = {
        {1},                      // byte by byte
        {1u << 20},               // the pipeline's block
        {131072},                 // a piece ends exactly at the 115 snapshot
        {131071, 2, 131072},      // a piece crosses it by one byte
        {63, 65, 127, 129, 3},    // never aligned with the block size
        {0, 64, 0, 1000},         // empty calls in between
        randomSizes,
    };

    for (int index = 0; index < catalog.GetCount(); ++index) {
        const auto engine = catalog.CreateObject(catalog.GetAt(index)->classId);
        ASSERT_NE(engine, nullptr);
        const std::string whole = DigestHex(*engine, data);
        ASSERT_EQ(whole.size(), 2u * engine->GetHashSize());
        for (const auto& split : splits) {
            EXPECT_EQ(DigestHex(*engine, data, split), whole)
                << Utf16ToUtf8(engine->GetName()) << " with pieces starting " << split.front();
        }
        // The engine is reused for the next input, as the hasher thread does.
        EXPECT_NE(DigestHex(*engine, data.substr(1)), whole) << Utf16ToUtf8(engine->GetName());
    }
}

}  // namespace
}  // namespace qm
