// The catalogue: registration order with and without the provider families,
// lookups and their failure texts.
#include "engines/hash_catalog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/error_record.h"
#include "engines/csp_hash.h"
#include "engines/register_engines.h"
#include "engines/sha1.h"

namespace qm {
namespace {

std::vector<std::u16string> Names(const CQmHashCatalog& catalog) {
    std::vector<std::u16string> names;
    for (int i = 0; i < catalog.GetCount(); ++i) names.emplace_back(catalog.GetAt(i)->name);
    return names;
}

// Makes the probe algorithms unavailable for one test.
class ProviderFault {
public:
    explicit ProviderFault(uint32_t algId) : algId_(algId) { SetCspAlgorithmUnavailableForTesting(algId_, true); }
    ~ProviderFault() { SetCspAlgorithmUnavailableForTesting(algId_, false); }

private:
    uint32_t algId_;
};

TEST(Catalog, EveryAlgorithmInTheOfferedOrder) {
    CQmHashCatalog catalog;
    RegisterBuiltInEngines(catalog);
    EXPECT_EQ(Names(catalog), (std::vector<std::u16string>{u"CRC32", u"MD2", u"MD4", u"MD5", u"SHA1", u"SHA256",
                                                           u"SHA384", u"SHA512", u"115网盘"}));
    const int32_t ids[] = {1, 2, 3, 4, 5, 7, 8, 9, 11};
    const uint32_t sizes[] = {4, 16, 16, 16, 20, 32, 48, 64, 40};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(catalog.GetAt(i)->classId, ids[i]);
        const auto engine = catalog.CreateObject(ids[i]);
        ASSERT_NE(engine, nullptr);
        EXPECT_EQ(engine->GetClassId(), ids[i]);
        EXPECT_EQ(engine->GetHashSize(), sizes[i]);
        EXPECT_EQ(std::u16string(engine->GetName()), Names(catalog)[i]);
        EXPECT_EQ(catalog.IndexOf(ids[i]), i);
    }
    EXPECT_EQ(catalog.GetAt(9), nullptr);
    EXPECT_EQ(catalog.GetAt(-1), nullptr);
}

TEST(Catalog, WithoutTheMd2FamilyMd2AndMd4AreLeftOut) {
    ProviderFault fault(QM_CALG_MD2);
    CQmHashCatalog catalog;
    RegisterBuiltInEngines(catalog);
    EXPECT_EQ(Names(catalog),
              (std::vector<std::u16string>{u"CRC32", u"MD5", u"SHA1", u"SHA256", u"SHA384", u"SHA512", u"115网盘"}));
    // Only the failed probe's text is left behind.
    EXPECT_EQ(GetLastErrorText().rfind(u"创建HASH对象失败:", 0), 0u);
}

TEST(Catalog, WithoutTheSha2FamilyItsProbesTextIsLeft) {
    ProviderFault fault(QM_CALG_SHA_256);
    SetErrorText(0, u"before");
    CQmHashCatalog catalog;
    RegisterBuiltInEngines(catalog);
    EXPECT_EQ(Names(catalog), (std::vector<std::u16string>{u"CRC32", u"MD2", u"MD4", u"MD5", u"SHA1", u"115网盘"}));
    EXPECT_EQ(GetLastErrorText().rfind(u"创建HASH对象失败:", 0), 0u);
}

TEST(Catalog, WithoutEitherFamilyTheDefaultIsStillThere) {
    ProviderFault md2(QM_CALG_MD2);
    ProviderFault sha256(QM_CALG_SHA_256);
    CQmHashCatalog catalog;
    RegisterBuiltInEngines(catalog);
    EXPECT_EQ(Names(catalog), (std::vector<std::u16string>{u"CRC32", u"MD5", u"SHA1", u"115网盘"}));
    EXPECT_EQ(catalog.IndexOf(QM_HASH_DEFAULT), 2);
    EXPECT_EQ(catalog.CreateObject(QM_HASH_SHA256), nullptr);
}

TEST(Catalog, UnknownIdsRecordTheirTexts) {
    CQmHashCatalog catalog;
    RegisterBuiltInEngines(catalog);
    EXPECT_EQ(catalog.CreateObject(6), nullptr);
    EXPECT_EQ(GetLastErrorText(), u"创建对象实列失败:不支持的类ID.");
    EXPECT_EQ(catalog.IndexOf(10), -1);
    EXPECT_EQ(GetLastErrorText(), u"获取类型对应索引号失败:不支持的类ID.");
    EXPECT_FALSE(catalog.Contains(0));
}

TEST(Catalog, FindByNameIgnoresCase) {
    CQmHashCatalog catalog;
    RegisterBuiltInEngines(catalog);
    EXPECT_EQ(catalog.FindByName(u"sha1"), QM_HASH_SHA1);
    EXPECT_EQ(catalog.FindByName(u"Sha256"), QM_HASH_SHA256);
    EXPECT_EQ(catalog.FindByName(u"115网盘"), QM_HASH_115);
    EXPECT_EQ(catalog.FindByName(u"SHA"), 0);
    EXPECT_EQ(catalog.FindByName(u""), 0);
}

TEST(Catalog, FactoriesThatGiveNothingRegisterNothing) {
    CQmHashCatalog catalog;
    catalog.RegisterClass(nullptr);
    catalog.RegisterClass([]() -> std::unique_ptr<CQmHashObject> { return nullptr; });
    EXPECT_EQ(catalog.GetCount(), 0);
    // A factory registered twice: lookups find the first entry.
    for (int i = 0; i < 20; ++i) {
        catalog.RegisterClass([]() -> std::unique_ptr<CQmHashObject> { return std::make_unique<CQmSHA1>(); });
    }
    EXPECT_EQ(catalog.GetCount(), 20);
    EXPECT_EQ(catalog.IndexOf(QM_HASH_SHA1), 0);
}

TEST(Catalog, ProcessCatalogIsFilledOnce) {
    RegisterBuiltInEngines();
    const int count = GetHashCatalog().GetCount();
    RegisterBuiltInEngines();
    EXPECT_EQ(GetHashCatalog().GetCount(), count);
    EXPECT_GE(count, 4);
    EXPECT_EQ(&GetHashCatalog(), &GetHashCatalog());
}

}  // namespace
}  // namespace qm
