// What a verification found, as the windows and quorvia-cli tell it.
#include "document/verify_summary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/utf.h"
#include "document/hash_list.h"
#include "engines/register_engines.h"
#include "support/path_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

// The process-wide document after loading a list of five files and two
// broken lines and a verification in which
//   0 matched, 1 changed, 2 failed, 3 was never reached (a stopped run),
//   4 took no part (not selected).
class VerifySummaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterBuiltInEngines();
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldConfigHome_ = old;
        setenv("XDG_CONFIG_HOME", (dir_ / "config").string().c_str(), 1);
        std::string list;
        for (char name = 'a'; name <= 'e'; ++name) {
            dir_.Write(std::string(1, name), "x");
            list += std::string(40, '1') + "  " + name + "\n";
            if (name == 'b') list += "broken\n";
        }
        list += "MD5 (f) = " + std::string(32, '2') + "\n";
        CQmQuorviaDoc& doc = GetQuorviaDoc();
        ASSERT_TRUE(doc.LoadHashList(test::PathText(dir_.Write("l.sha1", list))));
        ASSERT_EQ(doc.GetItemCount(), 5u);
        ASSERT_EQ(doc.GetUnreadableLines().size(), 2u);

        doc.ResetItemStates();
        doc.ClearItemErrors();
        doc.SetVerifyMode(true);
        doc.SelectAll(true, true);
        doc.GetItemAt(4)->SetSelected(false);
        uint8_t digest[20];
        std::fill(std::begin(digest), std::end(digest), uint8_t{0x11});
        Finish(0, digest);
        digest[19] = 0x12;
        Finish(1, digest);
        doc.GetItemAt(2)->SetError(u"读取文件失败");
        doc.GetItemAt(2)->SetProcessed(true);
    }
    void TearDown() override {
        GetQuorviaDoc().Clear();
        GetQuorviaDoc().SetVerifyMode(false);
        setenv("XDG_CONFIG_HOME", oldConfigHome_.c_str(), 1);
    }

    static void Finish(size_t index, const uint8_t* digest) {
        CQmQuorviaItem* item = GetQuorviaDoc().GetItemAt(index);
        ASSERT_TRUE(item->SetHash(digest, 20, QM_HASH_SHA1));
        item->SetProcessed(true);
    }

    test::TempDir dir_;
    std::string oldConfigHome_;
};

TEST_F(VerifySummaryTest, CountsAndTheirText) {
    const QmVerifyCounts counts = CountVerifyResults(GetQuorviaDoc());
    EXPECT_EQ(counts.correct, 1u);
    EXPECT_EQ(counts.mismatched, 1u);
    // The failed file, the one never reached and the two broken lines.
    EXPECT_EQ(counts.failed, 4u);
    EXPECT_EQ(FormatVerifyCounts(counts), u"检查结果：正确 1 个，不一致 1 个，失败 4 个");
    EXPECT_EQ(FormatVerifyCounts({1234567, 0, 1000}), u"检查结果：正确 1,234,567 个，不一致 0 个，失败 1,000 个");
}

TEST_F(VerifySummaryTest, ProblemRows) {
    const CQmQuorviaDoc& doc = GetQuorviaDoc();
    auto problems = [&doc] {
        std::vector<bool> out;
        for (size_t i = 0; i < doc.GetItemCount(); ++i) out.push_back(IsProblemItem(doc, *doc.GetItemAt(i)));
        return out;
    };
    // Changed and failed files; not the one not yet reached or left out.
    EXPECT_EQ(problems(), (std::vector<bool>{false, true, true, false, false}));
    // Outside a verification only failures are problems: a loaded list's
    // missing file is one.
    GetQuorviaDoc().SetVerifyMode(false);
    EXPECT_EQ(problems(), (std::vector<bool>{false, false, true, false, false}));
    ASSERT_TRUE(GetQuorviaDoc().LoadHashList(test::PathText(dir_.Write("m.sha1", std::string(40, '1') + "  gone\n"))));
    EXPECT_EQ(problems(), std::vector<bool>{true});
}

TEST(VerifySummaryText, UnreadableLinesBox) {
    EXPECT_EQ(FormatUnreadableLinesText({}), u"");
    const std::vector<QmUnreadableLine> three = {
        {3, u"未知的文件格式。"}, {5, u"无效的哈希值。"}, {1200, u"不支持的算法类型。"}};
    EXPECT_EQ(FormatUnreadableLinesText(three),
              u"校验列表中有 3 行无法读取，其中的文件没有载入：\n第 3 行：未知的文件格式。\n第 5 行：无效的哈希值。\n"
              u"第 1,200 行：不支持的算法类型。");
    // The first ten by name, then how many more.
    std::vector<QmUnreadableLine> many;
    for (size_t line = 1; line <= 12; ++line) many.push_back({line, u"无效的哈希值。"});
    const std::u16string text = FormatUnreadableLinesText(many);
    EXPECT_EQ(text.rfind(u"校验列表中有 12 行无法读取", 0), 0u);
    EXPECT_NE(text.find(u"\n第 10 行：无效的哈希值。\n还有 2 行未列出。"), std::u16string::npos) << Utf16ToUtf8(text);
    EXPECT_EQ(text.find(u"第 11 行"), std::u16string::npos);
}

}  // namespace
}  // namespace qm
