#include "document/hash_list.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/error_record.h"
#include "common/os/error_codes.h"
#include "common/utf.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "engines/hash_catalog.h"
#include "engines/hash_text.h"
#include "engines/register_engines.h"
#include "support/code_page.h"
#include "support/path_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::u16string U(const fs::path& path) { return test::PathText(path); }

std::string Utf8(std::u16string_view text) { return Utf16ToUtf8(text); }

// A relative path written with '/' in the system's own spelling, as the
// writer puts it in a list.
std::string Native(std::string path) {
#if defined(_WIN32)
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
#endif
    return path;
}

size_t HashTextLengthOf(int32_t algorithm) {
    return 2 * static_cast<size_t>(GetHashCatalog().CreateObject(algorithm)->GetHashSize());
}

class HashListTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterBuiltInEngines(); }

    // Every document stores its algorithm when it is destroyed; keep those
    // writes in this test's own settings home.
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldConfigHome_ = old;
        setenv("XDG_CONFIG_HOME", (dir_ / "config").string().c_str(), 1);
    }
    void TearDown() override { setenv("XDG_CONFIG_HOME", oldConfigHome_.c_str(), 1); }

    // A file under the temp dir with `size` bytes, returned as a core path.
    std::u16string MakeFile(std::string_view name, size_t size = 3) const {
        return U(dir_.Write(name, std::string(size, 'q')));
    }

    // Adds an item for `path` with a digest whose bytes count up from `seed`.
    static CQmQuorviaItem* AddItem(CQmQuorviaDoc& doc, std::u16string_view path, uint8_t seed) {
        auto item = CQmQuorviaItem::CreateItem(path, kUnknownFileSize, 0);
        uint8_t digest[QM_MAX_DIGEST_SIZE];
        for (size_t i = 0; i < sizeof digest; ++i) digest[i] = static_cast<uint8_t>(seed + i * 7);
        item->SetHash(digest, static_cast<size_t>(doc.GetDigestSize()), doc.GetAlgorithm());
        CQmQuorviaItem* raw = item.get();
        doc.AppendItem(std::move(item));
        return raw;
    }

    static std::u16string HashOf(const CQmQuorviaDoc& doc, const CQmQuorviaItem& item) {
        std::u16string text;
        GetHashValueText(doc.GetAlgorithm(), item.GetHash(), static_cast<uint32_t>(doc.GetDigestSize()), text);
        return text;
    }

    std::u16string Load(CQmQuorviaDoc& doc, std::string_view name, std::string_view bytes) const {
        const std::u16string path = U(dir_.Write(name, bytes));
        if (!doc.LoadHashList(path)) return u"<failed:" + GetLastErrorText() + u">";
        return u"";
    }

    test::TempDir dir_;
    std::string oldConfigHome_;
};

TEST_F(HashListTest, EveryAlgorithmRoundTrips) {
    const std::u16string a = MakeFile("data/a.bin", 10);
    const std::u16string b = MakeFile("data/sub dir/b 名.bin", 20);
    const CQmHashCatalog& catalog = GetHashCatalog();
    ASSERT_GT(catalog.GetCount(), 0);
    for (int i = 0; i < catalog.GetCount(); ++i) {
        const int32_t classId = catalog.GetAt(i)->classId;
        SCOPED_TRACE(Utf8(catalog.GetAt(i)->name));
        CQmQuorviaDoc saved;
        ASSERT_TRUE(saved.BeginTask(U(dir_ / "data"), classId, true));
        AddItem(saved, a, 1);
        AddItem(saved, b, 100);
        const std::u16string listPath = U(dir_ / "data" / "list.txt");
        ASSERT_TRUE(saved.SaveHashList(&listPath)) << Utf8(GetLastErrorText());
        EXPECT_FALSE(saved.IsModified());

        CQmQuorviaDoc loaded;
        ASSERT_TRUE(loaded.LoadHashList(listPath)) << Utf8(GetLastErrorText());
        EXPECT_EQ(loaded.GetAlgorithm(), classId);
        EXPECT_EQ(loaded.GetDigestSize(), saved.GetDigestSize());
        EXPECT_EQ(loaded.GetListPath(), listPath);
        EXPECT_EQ(loaded.GetRootDir(), U(dir_ / "data"));
        EXPECT_FALSE(loaded.IsModified());
        ASSERT_EQ(loaded.GetItemCount(), 2u);
        EXPECT_EQ(loaded.GetFileCount(), 2u);
        EXPECT_EQ(loaded.GetTotalBytes(), 30u);
        for (size_t k = 0; k < 2; ++k) {
            const CQmQuorviaItem* in = saved.GetItemAt(k);
            const CQmQuorviaItem* out = loaded.GetItemAt(k);
            EXPECT_EQ(out->GetPath(), in->GetPath());
            EXPECT_EQ(HashOf(loaded, *out), HashOf(saved, *in));
            EXPECT_EQ(out->GetLength(), in->GetLength());
            EXPECT_TRUE(out->IsProcessed());
            EXPECT_TRUE(out->GetError().empty());
        }
    }
}

TEST_F(HashListTest, HeaderDependsOnTheExtension) {
    const std::u16string a = MakeFile("sub/a.bin");
    CQmQuorviaDoc doc;
    ASSERT_TRUE(doc.BeginTask(U(dir_.path()), QM_HASH_MD5, true));
    AddItem(doc, a, 0);
    const std::string line = Utf8(HashOf(doc, *doc.GetItemAt(0))) + "\t\t" + Native("sub/a.bin") + "\r\n";

    const std::u16string txt = U(dir_ / "x.txt");
    ASSERT_TRUE(doc.SaveHashList(&txt));
    EXPECT_EQ(test::ReadBytes(dir_ / "x.txt"), std::string(kBom) + "; Hash: MD5\r\n\r\n" + line);
    for (const char* name : {"x.md5", "X.MD5"}) {
        const std::u16string path = U(dir_ / name);
        ASSERT_TRUE(doc.SaveHashList(&path));
        EXPECT_EQ(test::ReadBytes(dir_ / name), std::string(kBom) + line) << name;
    }
    // A name that says another algorithm gets the header, or the list
    // would read back as that algorithm.
    const std::u16string sha1Name = U(dir_ / "x.Sha1");
    ASSERT_TRUE(doc.SaveHashList(&sha1Name));
    EXPECT_EQ(test::ReadBytes(dir_ / "x.Sha1"), std::string(kBom) + "; Hash: MD5\r\n\r\n" + line);
    CQmQuorviaDoc reread;
    ASSERT_EQ(Load(reread, "x.Sha1", test::ReadBytes(dir_ / "x.Sha1")), u"");
    EXPECT_EQ(reread.GetAlgorithm(), QM_HASH_MD5);
    // The header names the algorithm in upper case; a null path saves again
    // under the current list path.
    CQmQuorviaDoc sha;
    ASSERT_TRUE(sha.BeginTask(U(dir_.path()), QM_HASH_SHA256, true));
    const std::u16string other = U(dir_ / "y.lst");
    ASSERT_TRUE(sha.SaveHashList(&other));
    sha.SetModified(true);
    ASSERT_TRUE(sha.SaveHashList(nullptr));
    EXPECT_FALSE(sha.IsModified());
    EXPECT_EQ(test::ReadBytes(dir_ / "y.lst"), std::string(kBom) + "; Hash: SHA256\r\n\r\n");
}

TEST_F(HashListTest, CommonChecksumToolLinesLoad) {
    MakeFile("sub/a.txt");
    MakeFile("two  spaces.bin");
    CQmQuorviaDoc doc;
    EXPECT_EQ(Load(doc, "list.md5",
                   "d41d8cd98f00b204e9800998ecf8427e *sub/a.txt\n"
                   "900150983CD24FB0D6963F7D28E17F72  two  spaces.bin\n"),
              u"");
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_MD5);
    ASSERT_EQ(doc.GetItemCount(), 2u);
    EXPECT_EQ(doc.GetItemAt(0)->GetPath(), U(dir_ / "sub/a.txt"));
    EXPECT_EQ(HashOf(doc, *doc.GetItemAt(0)), u"D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(doc.GetItemAt(1)->GetPath(), U(dir_ / "two  spaces.bin"));
    EXPECT_TRUE(doc.GetItemAt(1)->GetError().empty());
    CQmQuorviaDoc sha1;
    EXPECT_EQ(Load(sha1, "list.SHA1", "A9993E364706816ABA3E25717850C26C9CD0D89D sub/a.txt\n"), u"");
    EXPECT_EQ(sha1.GetAlgorithm(), QM_HASH_SHA1);
    EXPECT_EQ(sha1.GetDigestSize(), 20);
}

TEST_F(HashListTest, HashCommentsInAnyCaseAndWithDashes) {
    const std::string line = std::string(64, 'a') + "\t\tf\r\n";
    for (const char* header : {"; Hash: SHA256", ";hash:sha-256", "  ;  HASH :  Sha-256  ", "; hAsH: SHA256: more"}) {
        CQmQuorviaDoc doc;
        EXPECT_EQ(Load(doc, "l.txt", std::string(header) + "\r\n" + line), u"") << header;
        EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_SHA256) << header;
    }
    // A comment naming no registered algorithm changes nothing.
    CQmQuorviaDoc txt;
    EXPECT_EQ(Load(txt, "l.txt", "; Hash: WHIRLPOOL\r\n" + line), u"<failed:不支持的算法类型。>");
    CQmQuorviaDoc md5;
    EXPECT_EQ(Load(md5, "l.md5", "; Hash: WHIRLPOOL\r\n; Other: SHA1\r\n" + std::string(32, '0') + " f\n"), u"");
    EXPECT_EQ(md5.GetAlgorithm(), QM_HASH_MD5);
    // With no comment and no telling name, a hash length that several
    // algorithms have names none.
    CQmQuorviaDoc none;
    EXPECT_EQ(Load(none, "none.txt", std::string(32, '0') + " f\n"), u"<failed:不支持的算法类型。>");
}

TEST_F(HashListTest, BlankAndCommentLinesAndSemicolonsInPaths) {
    CQmQuorviaDoc doc;
    EXPECT_EQ(Load(doc, "l.sha1",
                   "\r\n; just a note\r\n   \t\r\n" + std::string(40, '1') + "\t\ta;b.txt ; not a comment\r\n\r\n" +
                       std::string(40, '2') + "\t\t c.txt\r\n;\r\n  \t; indented note\r\n"),
              u"");
    ASSERT_EQ(doc.GetItemCount(), 2u);
    // A ';' past the start of a line is part of the name, and so is
    // everything after the two tabs.
    EXPECT_EQ(doc.GetItemAt(0)->GetPath(), U(dir_ / "a;b.txt ; not a comment"));
    EXPECT_EQ(doc.GetItemAt(1)->GetPath(), U(dir_ / " c.txt"));
}

TEST_F(HashListTest, ParseFailures) {
    const std::string head = "; Hash: SHA1\r\n";
    CQmQuorviaDoc doc;
    EXPECT_EQ(Load(doc, "l.txt", head + std::string(40, 'A') + "\r\n"), u"<failed:未知的文件格式。>");
    EXPECT_EQ(Load(doc, "l.txt", head + std::string(39, 'A') + "G f\r\n"), u"<failed:无效的哈希值。>");
    EXPECT_EQ(Load(doc, "l.txt", head + std::string(39, 'A') + " f\r\n"), u"<failed:无效的哈希值。>");
    EXPECT_EQ(Load(doc, "l.txt", head + "*f\r\n"), u"<failed:无效的哈希值。>");
    // A link among hash lines is a line of another algorithm.
    const std::string link = "115://a.bin|5|" + std::string(40, 'A') + "|" + std::string(40, 'B') + "\r\n";
    EXPECT_EQ(Load(doc, "l.txt", head + link), u"<failed:不支持的算法类型。>");
    EXPECT_EQ(GetListErrorLine(), 2u);
    EXPECT_EQ(Load(doc, "l.txt", head + "115://a b.bin|5|0|0\r\n"), u"<failed:不支持的算法类型。>");
    // A failed load leaves the document empty and untitled.
    EXPECT_EQ(doc.GetItemCount(), 0u);
    EXPECT_FALSE(doc.HasListPath());
}

TEST_F(HashListTest, ReadFailureClearsTheDocument) {
    MakeFile("a");
    CQmQuorviaDoc doc;
    ASSERT_EQ(Load(doc, "ok.sha1", std::string(40, '0') + " a\n"), u"");
    ASSERT_EQ(doc.GetItemCount(), 1u);
    const std::u16string missing = U(dir_ / "missing.txt");
    EXPECT_FALSE(doc.LoadHashList(missing));
    std::u16string system;
    GetSystemErrorMessage(os::kErrorNotFound, system);
    EXPECT_EQ(GetLastErrorText(), u"打开文件 " + missing + u" 失败:" + system);
    EXPECT_EQ(doc.GetItemCount(), 0u);
    EXPECT_EQ(doc.GetFileCount(), 0u);
    EXPECT_FALSE(doc.HasListPath());
}

TEST_F(HashListTest, MissingFilesKeepTheirHashAndError) {
    CQmQuorviaDoc doc;
    EXPECT_EQ(Load(doc, "l.sha1", std::string(40, 'C') + " gone.bin\n"), u"");
    ASSERT_EQ(doc.GetItemCount(), 1u);
    const CQmQuorviaItem* item = doc.GetItemAt(0);
    EXPECT_EQ(item->GetLength(), 0u);
    EXPECT_EQ(item->GetError().rfind(u"获取文件属性失败", 0), 0u) << Utf8(item->GetError());
    EXPECT_TRUE(item->HasHash());
    EXPECT_EQ(HashOf(doc, *item), std::u16string(40, u'C'));
}

TEST_F(HashListTest, LinkLists) {
    MakeFile("a.bin", 7);
    const std::string h1(40, 'A'), h2(40, 'b');
    CQmQuorviaDoc doc;
    EXPECT_EQ(Load(doc, "links.txt",
                   "115://a.bin|5|" + h1 + "|" + h2 + "\r\n\r\n" +           // in the root
                       "115://a.bin|12|" + h1 + "|" + h2 + "|d1|d2\r\n" +    // in d1/d2, missing
                       "115://short|1|" + h1 + "\r\n" +                      // too few fields: skipped
                       "115://n.bin|lots|" + h1 + "|" + h2 + "|w\\in\r\n"),  // size not a number
              u"");
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_115);
    EXPECT_EQ(doc.GetDigestSize(), 40);
    ASSERT_EQ(doc.GetItemCount(), 3u);
    EXPECT_EQ(doc.GetItemAt(0)->GetPath(), U(dir_ / "a.bin"));
    EXPECT_EQ(doc.GetItemAt(0)->GetLength(), 5u);
    EXPECT_EQ(HashOf(doc, *doc.GetItemAt(0)), std::u16string(40, u'A') + u"|" + std::u16string(40, u'B'));
    EXPECT_EQ(doc.GetItemAt(1)->GetPath(), U(dir_ / "d1/d2/a.bin"));
    EXPECT_EQ(doc.GetItemAt(1)->GetLength(), 12u);
    EXPECT_TRUE(doc.GetItemAt(1)->GetError().empty());
    EXPECT_EQ(doc.GetItemAt(2)->GetPath(), U(dir_ / "w/in/n.bin"));
    EXPECT_EQ(doc.GetItemAt(2)->GetLength(), 0u);
    EXPECT_EQ(doc.GetTotalBytes(), 17u);
    // An empty file is an empty link list.
    CQmQuorviaDoc empty;
    EXPECT_EQ(Load(empty, "empty.txt", ""), u"");
    EXPECT_EQ(empty.GetAlgorithm(), QM_HASH_115);
    EXPECT_EQ(empty.GetItemCount(), 0u);
}

// The directory fields of a link are components below the list's folder:
// empty and "." fields add nothing, ".." goes up (never above "/"), a leading
#if !defined(_WIN32)
// '/' does not make a field absolute and a backslash separates folders.
// (Linux only: the expected paths climb to '/', which on Windows is the root
// of a drive.)
TEST_F(HashListTest, LinkDirectoryFieldsArePathComponents) {
    const std::string h(40, 'A');
    const auto link = [&h](std::string_view name, std::string_view dirs) {
        return "115://" + std::string(name) + "|1|" + h + "|" + h + std::string(dirs) + "\n";
    };
    std::string up;
    for (const auto& part : dir_.path()) {
        if (part != "/") up += "|..";
    }
    CQmQuorviaDoc doc;
    ASSERT_EQ(Load(doc, "links.txt",
                   link("n.bin", "|a||./b|..|/c|d\\e|") + link("..", "|x|y") + link("top", up + "|..|z") +
                       link("/abs", "|q")),
              u"");
    ASSERT_EQ(doc.GetItemCount(), 4u);
    EXPECT_EQ(Utf8(doc.GetItemAt(0)->GetPath()), (dir_ / "a/c/d/e/n.bin").string());
    EXPECT_EQ(Utf8(doc.GetItemAt(1)->GetPath()), (dir_ / "x").string());
    EXPECT_EQ(Utf8(doc.GetItemAt(2)->GetPath()), "/z/top");
    EXPECT_EQ(Utf8(doc.GetItemAt(3)->GetPath()), (dir_ / "q/abs").string());
}
#endif

// A link of 40,000 directory fields: its path is built in one pass, so the
// line reads in far less than the bound (normalising the path again after
// each field took close to a minute).
TEST_F(HashListTest, ManyDirectoryFieldsReadInLinearTime) {
    const std::string h(40, 'A');
    constexpr size_t kFields = 40000;
    std::string line = "115://f.bin|1|" + h + "|" + h;
    const char separator = Native("/")[0];
    std::string expected = Utf8(U(dir_.path()));
    for (size_t i = 0; i < kFields; ++i) {
        // Mostly folders, so the path grows with the line; a ".." now and
        // then must still take one folder off.
        const std::string field = i % 1000 == 999 ? std::string("..") : std::string("d").append(std::to_string(i % 10));
        line += "|" + field;
        if (field == "..") {
            expected.resize(expected.rfind(separator));
        } else {
            expected.push_back(separator);
            expected += field;
        }
    }
    expected.push_back(separator);
    expected += "f.bin";
    CQmQuorviaDoc doc;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Load(doc, "deep.txt", line + "\r\n"), u"");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(doc.GetItemCount(), 1u);
    EXPECT_EQ(Utf8(doc.GetItemAt(0)->GetPath()), expected);
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST_F(HashListTest, LinkListsRoundTripWithDirectories) {
    const std::u16string top = MakeFile("root/top.bin", 4);
    const std::u16string deep = MakeFile("root/d1/d2/deep.bin", 6);
    const std::u16string outside = MakeFile("elsewhere/o.bin", 8);
    CQmQuorviaDoc doc;
    ASSERT_TRUE(doc.BeginTask(U(dir_ / "root"), QM_HASH_115, true));
    AddItem(doc, top, 1);
    AddItem(doc, deep, 2);
    AddItem(doc, outside, 3);
    doc.AppendItem(CQmQuorviaItem::CreateItem(top, kUnknownFileSize, 0));  // no digest: an empty line
    const std::u16string listPath = U(dir_ / "root" / "links.txt");
    ASSERT_TRUE(doc.SaveHashList(&listPath));
    const std::string text = test::ReadBytes(dir_ / "root/links.txt");
    const std::string h = Utf8(HashOf(doc, *doc.GetItemAt(1)));
    EXPECT_NE(text.find("\r\n115://deep.bin|6|" + h + "|d1|d2\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("|..|elsewhere\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
    CQmQuorviaDoc loaded;
    ASSERT_TRUE(loaded.LoadHashList(listPath));
    ASSERT_EQ(loaded.GetItemCount(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded.GetItemAt(i)->GetPath(), doc.GetItemAt(i)->GetPath());
        EXPECT_EQ(HashOf(loaded, *loaded.GetItemAt(i)), HashOf(doc, *doc.GetItemAt(i)));
    }
}

TEST_F(HashListTest, WindowsSeparatorsAndDotSegmentsResolve) {
    MakeFile("sub/deeper/a.bin");
    CQmQuorviaDoc doc;
    EXPECT_EQ(Load(doc, "l.sha1",
                   std::string(40, '0') + " sub\\deeper\\a.bin\n" + std::string(40, '1') +
                       " .\\sub\\x\\..\\deeper/./a.bin\n" + std::string(40, '2') + " ../up.bin\n"),
              u"");
    ASSERT_EQ(doc.GetItemCount(), 3u);
    EXPECT_EQ(doc.GetItemAt(0)->GetPath(), U(dir_ / "sub/deeper/a.bin"));
    EXPECT_EQ(doc.GetItemAt(1)->GetPath(), U(dir_ / "sub/deeper/a.bin"));
    EXPECT_EQ(doc.GetItemAt(2)->GetPath(), U(dir_.path().parent_path() / "up.bin"));
}

TEST_F(HashListTest, EncodingsOfTheListFile) {
    // Lists without a mark that are not UTF-8 come from Chinese Windows
    // systems; name their code page whatever the test's locale is.
    test::ScopedCodePage gbk("936");
    MakeFile("校验.bin");
    const std::string hash(40, 'E');
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::u16string line16 = u"; Hash: SHA1\r\n" + std::u16string(40, u'E') + u" 校验.bin\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char16_t c : line16) {
        utf16.push_back(static_cast<char>(c & 0xFF));
        utf16.push_back(static_cast<char>(c >> 8));
    }
    const std::vector<Case> cases = {
        {"utf-8 with bom", std::string(kBom) + "; Hash: SHA1\r\n" + hash + " 校验.bin\r\n"},
        {"utf-8", "; Hash: SHA1\r\n" + hash + " 校验.bin\r\n"},
        {"utf-16le with bom", utf16},
        {"gbk", "; Hash: SHA1\r\n" + hash + " \xD0\xA3\xD1\xE9.bin\r\n"},
    };
    for (const Case& c : cases) {
        CQmQuorviaDoc doc;
        EXPECT_EQ(Load(doc, "l.txt", c.bytes), u"") << c.what;
        ASSERT_EQ(doc.GetItemCount(), 1u) << c.what;
        EXPECT_EQ(doc.GetItemAt(0)->GetPath(), U(dir_ / "校验.bin")) << c.what;
        EXPECT_TRUE(doc.GetItemAt(0)->GetError().empty()) << c.what;
    }
}

// The writer takes every path relative to the directory of the file it
// writes, at whole components, and writes a full path for a file outside it.
TEST_F(HashListTest, PathsAreRelativeToTheListsDirectory) {
    const std::u16string inBase = MakeFile("data/database/x");
    const std::u16string inSub = MakeFile("data/lists/in.bin");
    CQmQuorviaDoc doc;
    ASSERT_TRUE(doc.BeginTask(U(dir_ / "data"), QM_HASH_CRC32, true));
    AddItem(doc, inBase, 1);
    AddItem(doc, inSub, 2);

    const std::u16string atRoot = U(dir_ / "data" / "l.txt");
    ASSERT_TRUE(doc.SaveHashList(&atRoot));
    const std::string rootText = test::ReadBytes(dir_ / "data/l.txt");
    EXPECT_NE(rootText.find("\t\t" + Native("database/x") + "\r\n"), std::string::npos) << rootText;
    EXPECT_NE(rootText.find("\t\t" + Native("lists/in.bin") + "\r\n"), std::string::npos) << rootText;

    const std::u16string elsewhere = U(dir_ / "data" / "lists" / "l.txt");
    ASSERT_TRUE(doc.SaveHashList(&elsewhere));
    const std::string subText = test::ReadBytes(dir_ / "data/lists/l.txt");
    EXPECT_NE(subText.find("\t\t" + Utf8(inBase) + "\r\n"), std::string::npos) << subText;
    EXPECT_NE(subText.find("\t\tin.bin\r\n"), std::string::npos) << subText;

    for (const std::u16string& list : {atRoot, elsewhere}) {
        CQmQuorviaDoc loaded;
        ASSERT_TRUE(loaded.LoadHashList(list));
        ASSERT_EQ(loaded.GetItemCount(), 2u);
        EXPECT_EQ(loaded.GetItemAt(0)->GetPath(), inBase);
        EXPECT_EQ(loaded.GetItemAt(1)->GetPath(), inSub);
        EXPECT_TRUE(loaded.GetItemAt(0)->GetError().empty());
    }
}

TEST_F(HashListTest, EntriesWithoutDigestAreNotWritten) {
    const std::u16string a = MakeFile("a");
    CQmQuorviaDoc doc;
    ASSERT_TRUE(doc.BeginTask(U(dir_.path()), QM_HASH_SHA1, true));
    doc.AppendItem(CQmQuorviaItem::CreateItem(a, kUnknownFileSize, 0));
    AddItem(doc, a, 9);
    EXPECT_EQ(ComposeHashLines(doc, U(dir_.path()), false), HashOf(doc, *doc.GetItemAt(1)) + u"\t\ta\r\n");
}

// Linux names a missing folder on the way as it does a missing file;
// Windows has a code of its own for it (ERROR_PATH_NOT_FOUND).
#if defined(_WIN32)
constexpr uint32_t kMissingFolderCode = 3;
#else
constexpr uint32_t kMissingFolderCode = os::kErrorNotFound;
#endif

TEST_F(HashListTest, SaveFailureKeepsTheModifiedFlag) {
    CQmQuorviaDoc doc;
    ASSERT_TRUE(doc.BeginTask(U(dir_.path()), QM_HASH_SHA1, true));
    AddItem(doc, MakeFile("a"), 1);
    const std::u16string bad = U(dir_ / "no-such-dir" / "l.txt");
    EXPECT_FALSE(doc.SaveHashList(&bad));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetListPath(), bad);
    std::u16string system;
    GetSystemErrorMessage(kMissingFolderCode, system);
    EXPECT_EQ(GetLastErrorText(), u"写入文件[" + bad + u"]失败:" + system);
}

TEST_F(HashListTest, FailedLoadKeepsTheSavedAlgorithm) {
    { CQmQuorviaDoc setter; setter.SetAlgorithm(QM_HASH_SHA512); }
    CQmQuorviaDoc doc;
    EXPECT_NE(Load(doc, "bad.txt", "not a list\n"), u"");
    CQmQuorviaDoc probe;
    EXPECT_EQ(probe.GetAlgorithm(), QM_HASH_SHA512);
}

TEST_F(HashListTest, HostileListsDoNotCrash) {
    const std::string h(40, 'F');
    const std::vector<std::string> lists = {
        std::string("\x00\x01\x02\xFF\xFE\x00 \x7F", 8),
        "; Hash: SHA1\n" + h + std::string(" a\0b\n", 5) + std::string(1, '\0') + " x\n",
        "; Hash: SHA1\n" + h + " " + std::string(10000, 'p') + "\n",
        "; Hash: SHA1\n" + h + " " + std::string(3000, '/') + std::string(3000, '.') + "\n",
        "; Hash: SHA512\n" + std::string(4000, 'a') + " long-hash\n",
        "115://|||\n115://a|99999999999999999999999|zz|\xE4\xB8|..|..|..|..\n115://" + std::string(10000, '|') + "\n",
        "115://" + std::string(10000, 'n') + "|1|" + h + "|" + h + "|" + std::string(10000, 'd') + "\n",
    };
    for (const std::string& bytes : lists) {
        CQmQuorviaDoc doc;
        Load(doc, "hostile.txt", bytes);
        for (size_t i = 0; i < doc.GetItemCount(); ++i) {
            EXPECT_FALSE(doc.GetItemAt(i)->GetPath().empty());
        }
        // Writing whatever was read back must work as well.
        ComposeHashLines(doc, U(dir_.path()), true);
        ComposeLinkLines(doc, U(dir_.path()));
    }
}

TEST_F(HashListTest, HundredMebibytesOfOneLine) {
    std::string bytes(100u << 20, 'a');
    CQmQuorviaDoc doc;
    EXPECT_EQ(Load(doc, "big.txt", bytes), u"<failed:未知的文件格式。>");
    bytes += 'a';  // one byte over the limit
    const std::u16string path = U(dir_.Write("big.txt", bytes));
    EXPECT_FALSE(doc.LoadHashList(path));
    EXPECT_EQ(GetLastErrorText(), u"文件 " + path + u" 超过最大限制");
}

// What a list says about its entries, one text per entry: the path below
// the list's folder and the hash text.
std::vector<std::string> Entries(const CQmQuorviaDoc& doc, const fs::path& root) {
    std::vector<std::string> out;
    for (size_t i = 0; i < doc.GetItemCount(); ++i) {
        const CQmQuorviaItem* item = doc.GetItemAt(i);
        std::u16string hash;
        GetHashValueText(doc.GetAlgorithm(), item->GetHash(), static_cast<uint32_t>(doc.GetDigestSize()), hash);
        const std::string path = Utf8(item->GetPath());
        const std::string base = Utf8(U(root)) + Native("/");
        std::string below = path.rfind(base, 0) == 0 ? path.substr(base.size()) : path;
#if defined(_WIN32)
        for (char& c : below) {
            if (c == '\\') c = '/';
        }
#endif
        out.push_back(below + "=" + Utf8(hash));
    }
    return out;
}

// The lines the last load passed over, as "line:reason".
std::vector<std::string> Unreadable(const CQmQuorviaDoc& doc) {
    std::vector<std::string> out;
    for (const QmUnreadableLine& line : doc.GetUnreadableLines()) {
        out.push_back(std::to_string(line.line) + ":" + Utf8(line.reason));
    }
    return out;
}

// The path field after two tabs, two spaces or " *" is the name as it
// stands: a leading '*' or blank, a trailing blank and a ';' belong to it.
// Only after another separator are blanks and '*' skipped.
TEST_F(HashListTest, NamesAreTakenExactlyAfterTheSeparator) {
    const std::string h = "900150983cd24fb0d6963f7d28e17f72";
    const std::string H = "900150983CD24FB0D6963F7D28E17F72";
    CQmQuorviaDoc doc;
    ASSERT_EQ(Load(doc, "l.md5",
                   h + "  *star.txt\n" +             // text mode, name begins with '*'
                       h + "   lead.txt\n" +         // text mode, name begins with a space
                       h + "  trail.txt \r\n" +      // only CR and LF end the line
                       h + "  semi;colon.txt\n" +    // ';' is no comment here
                       h + " * lead.txt\n" +         // binary mode
                       h + " **star.txt\n" +         // binary mode, name begins with '*'
                       H + "\t\t\ttab first\n" +     // our own lines
                       H + "\t\t*star.txt \n" +
                       "  " + h + " *star.txt\n" +   // leading blanks of a line are skipped
                       h + "\t *plain.txt\n" +       // another separator: blanks and '*' skipped
                       h + " \t two  spaces \n"),
              u"");
    const std::string v = "=" + H;
    EXPECT_EQ(Entries(doc, dir_.path()),
              (std::vector<std::string>{"*star.txt" + v, " lead.txt" + v, "trail.txt " + v, "semi;colon.txt" + v,
                                        " lead.txt" + v, "*star.txt" + v, "\ttab first" + v, "*star.txt " + v,
                                        "star.txt" + v, "plain.txt" + v, "two  spaces " + v}));
    // A separator with nothing after it names no file.
    EXPECT_EQ(Load(doc, "l.md5", h + "  \n"), u"<failed:未知的文件格式。>");
    EXPECT_EQ(Load(doc, "l.md5", h + " *\n"), u"<failed:未知的文件格式。>");
}

// Lines that begin with '\' hold "\\", "\n" and "\r" for a backslash, a
// line feed and a carriage return; in every other line '\' separates
// directories. Writing, such names make escaped lines in every layout.
TEST_F(HashListTest, EscapedNamesReadAndWrite) {
    const std::string h(40, 'a');
    const std::string v = "=" + std::string(40, 'A');
    CQmQuorviaDoc doc;
    ASSERT_EQ(Load(doc, "l.sha1",
                   "\\" + h + "  back\\\\slash.txt\n" +
                       "\\" + h + " *line\\nbreak\\r.txt\n" +
                       "\\" + h + "  dir/\\\\lead\n" +
                       h + "  win\\dir\\file.txt\n"),
              u"");
#if defined(_WIN32)
    // An escaped '\\' is still a separator there.
    EXPECT_EQ(Entries(doc, dir_.path()), (std::vector<std::string>{"back/slash.txt" + v, "line\nbreak\r.txt" + v,
                                                                   "dir/lead" + v, "win/dir/file.txt" + v}));
#else
    EXPECT_EQ(Entries(doc, dir_.path()), (std::vector<std::string>{"back\\slash.txt" + v, "line\nbreak\r.txt" + v,
                                                                   "dir/\\lead" + v, "win/dir/file.txt" + v}));
#endif
    // An escape the tools never write is not guessed at.
    EXPECT_EQ(Load(doc, "l.sha1", h + "  ok\n\\" + h + "  a\\tb\n"), u"");
    EXPECT_EQ(Unreadable(doc), std::vector<std::string>{"2:未知的文件格式。"});
    EXPECT_EQ(Load(doc, "l.sha1", "\\" + h + "  trailing\\\n"), u"<failed:未知的文件格式。>");

#if defined(_WIN32)
    // There '\\' only separates; a name that begins with it, a share outside
    // the list's folder, is escaped, or its line would read as an escaped one.
    const std::u16string odd = u"\\\\srv\\share\\f";
    const std::string oddEscaped = "\\\\\\\\srv\\\\share\\\\f";
#else
    const std::u16string odd = U(dir_ / "a\\b");
    const std::string oddEscaped = "a\\\\b";
#endif
    CQmQuorviaDoc saved;
    ASSERT_TRUE(saved.BeginTask(U(dir_.path()), QM_HASH_SHA1, true));
    AddItem(saved, odd, 1);
    AddItem(saved, U(dir_ / "x\ny\rz"), 1);
    AddItem(saved, U(dir_ / "plain"), 1);
    const std::string hash = Utf8(HashOf(saved, *saved.GetItemAt(0)));
    std::string lower = hash;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(Utf8(ComposeHashLines(saved, U(dir_.path()), false)),
              "\\" + hash + "\t\t" + oddEscaped + "\r\n\\" + hash + "\t\tx\\ny\\rz\r\n" + hash + "\t\tplain\r\n");
    EXPECT_EQ(Utf8(ComposeSumLines(saved, U(dir_.path()))),
              "\\" + lower + "  " + oddEscaped + "\n\\" + lower + "  x\\ny\\rz\n" + lower + "  plain\n");
    EXPECT_EQ(Utf8(ComposeBsdLines(saved, U(dir_.path()))),
              "\\SHA1 (" + oddEscaped + ") = " + lower + "\n\\SHA1 (x\\ny\\rz) = " + lower + "\nSHA1 (plain) = " + lower + "\n");
    const std::u16string listPath = U(dir_ / "l.txt");
    ASSERT_TRUE(saved.SaveHashList(&listPath));
    CQmQuorviaDoc loaded;
    ASSERT_TRUE(loaded.LoadHashList(listPath)) << Utf8(GetLastErrorText());
    ASSERT_EQ(loaded.GetItemCount(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(loaded.GetItemAt(i)->GetPath(), saved.GetItemAt(i)->GetPath());

    // Long names are examined in blocks: a line break is found wherever it
    // falls, the last unit of a block and the remainder after the blocks too.
    for (size_t at = 0; at < 40; ++at) {
        std::u16string name(40, u'n');
        name[at] = u'\r';
        CQmQuorviaDoc one;
        ASSERT_TRUE(one.BeginTask(U(dir_.path()), QM_HASH_SHA1, true));
        AddItem(one, U(dir_.path()) + u"/" + name, 1);
        AddItem(one, U(dir_.path()) + u"/" + std::u16string(40, u'n'), 1);
        const std::string sum = Utf8(ComposeSumLines(one, U(dir_.path())));
        const size_t second = sum.find('\n') + 1;
        const std::string escaped = "  " + std::string(at, 'n') + "\\r" + std::string(39 - at, 'n') + "\n";
        EXPECT_EQ(sum[0], '\\') << at;
        EXPECT_EQ(sum.substr(0, second).substr(41), escaped) << at;
        EXPECT_NE(sum[second], '\\') << at;  // the plain name stays as it is
    }
}

// A hash field must have the length of the list's algorithm, also when the
// algorithm is only named after the line.
TEST_F(HashListTest, HashLengthMustFitTheAlgorithm) {
    CQmQuorviaDoc doc;
    const std::string md5(32, 'b'), sha1(40, 'c');
    EXPECT_EQ(Load(doc, "l.md5", md5 + "  a\n" + sha1 + "  b\n"), u"");
    EXPECT_EQ(Unreadable(doc), std::vector<std::string>{"2:无效的哈希值。"});
    EXPECT_EQ(doc.GetItemCount(), 1u);
    EXPECT_EQ(Load(doc, "l.txt", "; Hash: CRC32\n\n123456  a\n"), u"<failed:无效的哈希值。>");
    EXPECT_EQ(GetListErrorLine(), 3u);
    EXPECT_EQ(Load(doc, "l.txt", "; Hash: CRC32\n\n0000123456  a\n"), u"<failed:无效的哈希值。>");
    // Each line that does not fit is named, in line order.
    EXPECT_EQ(Load(doc, "l.md5", md5 + "  a\n" + sha1 + "  b\nno-separator\n"), u"");
    EXPECT_EQ(Unreadable(doc), (std::vector<std::string>{"2:无效的哈希值。", "3:未知的文件格式。"}));
    // Entries before the comment are read with its algorithm.
    EXPECT_EQ(Load(doc, "l.txt", md5 + "  a\n" + sha1 + "  b\n; Hash: SHA1\n"), u"");
    EXPECT_EQ(Unreadable(doc), std::vector<std::string>{"1:无效的哈希值。"});
    EXPECT_EQ(Entries(doc, dir_.path()), std::vector<std::string>{"b=" + std::string(40, 'C')});
    EXPECT_EQ(Load(doc, "l.txt", "; Hash: CRC32\n\n00ABCDEF  a\n"), u"");
    EXPECT_EQ(GetListErrorLine(), 0u);
    EXPECT_EQ(Entries(doc, dir_.path()), std::vector<std::string>{"a=00ABCDEF"});
}

// The algorithm from the list's name when no comment sets one.
TEST_F(HashListTest, AlgorithmFromTheListName) {
    const struct {
        const char* name;
        int32_t algorithm;
    } cases[] = {
        {"l.md4", QM_HASH_MD4},       {"l.MD5", QM_HASH_MD5},       {"l.sha1", QM_HASH_SHA1},
        {"l.Sha256", QM_HASH_SHA256}, {"l.sha384", QM_HASH_SHA384}, {"l.SHA512", QM_HASH_SHA512},
        {"l.sfv", QM_HASH_CRC32},     {"l.CRC32", QM_HASH_CRC32},   {"MD5SUMS", QM_HASH_MD5},
        {"sha1sums", QM_HASH_SHA1},
        {"SHA256SUMS", QM_HASH_SHA256}, {"Sha384Sums", QM_HASH_SHA384}, {"SHA512SUMS", QM_HASH_SHA512},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AlgorithmFromListName(U(dir_ / c.name)), c.algorithm);
        const size_t length = HashTextLengthOf(c.algorithm);
        CQmQuorviaDoc doc;
        const std::string line = IsSfvListName(U(dir_ / c.name)) ? "f " + std::string(length, '1')
                                                                 : std::string(length, '1') + "  f";
        EXPECT_EQ(Load(doc, c.name, line + "\n"), u"");
        EXPECT_EQ(doc.GetAlgorithm(), c.algorithm);
    }
    for (const char* other : {"l.txt", "MD5SUMS.txt", "x.sha", "SUMS", "l.sfv.txt"}) {
        EXPECT_EQ(AlgorithmFromListName(U(dir_ / other)), QM_HASH_NONE) << other;
    }
    CQmQuorviaDoc txt;
    EXPECT_EQ(Load(txt, "l.txt", std::string(32, '1') + "  f\n"), u"<failed:不支持的算法类型。>");
    EXPECT_EQ(GetListErrorLine(), 0u);
}

// "ALG (name) = hash": the tag names the algorithm as the comment does; the
// name runs from the first " (" to the last ") = ".
TEST_F(HashListTest, BsdTagLines) {
    const std::string md5(32, 'd'), sha256(64, 'e');
    CQmQuorviaDoc doc;
    ASSERT_EQ(Load(doc, "tags.txt",
                   "SHA256 (a (1).txt) = " + sha256 + "\n" + "SHA-256 ( x) = y) = " + sha256 + "\n" +
                       "sha256   (pad) = " + sha256 + "\n" + "\\SHA256 (line\\nbreak) = " + sha256 + "\n"),
              u"");
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_SHA256);
    const std::string v = "=" + std::string(64, 'E');
    EXPECT_EQ(Entries(doc, dir_.path()),
              (std::vector<std::string>{"a (1).txt" + v, " x) = y" + v, "pad" + v, "line\nbreak" + v}));
    // The tag wins over the name's algorithm when it comes first.
    CQmQuorviaDoc named;
    EXPECT_EQ(Load(named, "l.sha1", "MD5 (f) = " + md5 + "\n"), u"");
    EXPECT_EQ(named.GetAlgorithm(), QM_HASH_MD5);

    EXPECT_EQ(Load(doc, "l.txt", "BLAKE2 (f) = " + md5 + "\n"), u"<failed:不支持的算法类型。>");
    EXPECT_EQ(GetListErrorLine(), 1u);
    EXPECT_EQ(Load(doc, "l.txt", "MD5 (f) = " + md5 + "\nSHA256 (f) = " + sha256 + "\n"), u"");
    EXPECT_EQ(Unreadable(doc), std::vector<std::string>{"2:不支持的算法类型。"});
    EXPECT_EQ(Load(doc, "l.txt", "MD5 (f) = " + sha256 + "\n"), u"<failed:无效的哈希值。>");
    EXPECT_EQ(Load(doc, "l.txt", "MD5 (f) = xyz\n"), u"<failed:无效的哈希值。>");
    EXPECT_EQ(Load(doc, "l.txt", "MD5 () = " + md5 + "\n"), u"<failed:未知的文件格式。>");
    EXPECT_EQ(Load(doc, "l.txt", "MD5 (f) " + md5 + "\n"), u"<failed:无效的哈希值。>");
}

// SFV in .sfv files: the name, a space and eight hexadecimal digits; ';'
// first on a line starts a comment.
TEST_F(HashListTest, SfvLines) {
#if defined(_WIN32)
    // '\\' in a name separates folders there, escaped or not.
    const std::string backslashName = "back/slash";
    const std::string abLine = "a\\b ";
#else
    const std::string backslashName = "back\\slash";
    const std::string abLine = "\\a\\\\b ";
#endif
    CQmQuorviaDoc doc;
    ASSERT_EQ(Load(doc, "l.SFV",
                   "; Generated by a tool\n;\n;  3  12:00 2026-01-01 a b.txt\n"
                   "a b.txt 352441C2\n lead.txt 352441c2\ntrail.txt  352441C2\r\n"
                   "semi;colon 352441C2\n\\;first 352441C2\n\\back\\\\slash 352441C2\n  ; indented comment\n"),
              u"");
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_CRC32);
    const std::string v = "=352441C2";
    EXPECT_EQ(Entries(doc, dir_.path()),
              (std::vector<std::string>{"a b.txt" + v, " lead.txt" + v, "trail.txt " + v, "semi;colon" + v,
                                        ";first" + v, backslashName + v}));
    EXPECT_EQ(Load(doc, "l.sfv", "a.txt 352441C2\nnospace\n"), u"");
    EXPECT_EQ(Unreadable(doc), std::vector<std::string>{"2:未知的文件格式。"});
    EXPECT_EQ(Load(doc, "l.sfv", "a.txt 35244\n"), u"<failed:无效的哈希值。>");
    EXPECT_EQ(Load(doc, "l.sfv", "a.txt 352441C2 " + std::string(32, '0') + "\n"), u"<failed:无效的哈希值。>");
    // A CRC32 list the program saved under an .sfv name is in its own
    // layout and reads back as written.
    ASSERT_EQ(Load(doc, "own.sfv", "\xEF\xBB\xBF; Hash: CRC32\r\n352441C2\t\tsub\\a b.txt\r\n352441C2\t\t c \r\n"),
              u"");
    EXPECT_EQ(Entries(doc, dir_.path()), (std::vector<std::string>{"sub/a b.txt" + v, " c " + v}));
    // An empty SFV list is an empty CRC32 list, not a link list.
    EXPECT_EQ(Load(doc, "empty.sfv", "; nothing\n"), u"");
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_CRC32);
    EXPECT_EQ(doc.GetItemCount(), 0u);

    CQmQuorviaDoc saved;
    ASSERT_TRUE(saved.BeginTask(U(dir_.path()), QM_HASH_CRC32, true));
    AddItem(saved, U(dir_ / " lead;"), 1);
    AddItem(saved, U(dir_ / " ;x"), 1);
    AddItem(saved, U(dir_ / "a\\b"), 1);
    const std::string hash = Utf8(HashOf(saved, *saved.GetItemAt(0)));
    EXPECT_EQ(Utf8(ComposeSfvLines(saved, U(dir_.path()))),
              " lead; " + hash + "\n\\ ;x " + hash + "\n" + abLine + hash + "\n");
    const std::u16string sfv = U(dir_ / "out.sfv");
    ASSERT_TRUE(WriteListFile(saved, sfv, ListFormat::Sfv));
    CQmQuorviaDoc loaded;
    ASSERT_TRUE(loaded.LoadHashList(sfv)) << Utf8(GetLastErrorText());
    EXPECT_EQ(Entries(loaded, dir_.path()), Entries(saved, dir_.path()));
}

// Lists of formats the reader does not take fail as a whole, at their first
// line.
TEST_F(HashListTest, UnreadFormatsFailWhole) {
    MakeFile("f");
    const std::string md5(32, '1'), sha1(40, '2');
    const struct {
        const char* name;
        std::string bytes;
        std::u16string_view text;
        size_t line;
    } cases[] = {
        {"two.md5", "; several digests\n" + md5 + " " + sha1 + " f\n", kUnknownFormatText, 2},
        {"two.txt", "; Hash: MD5\n" + md5 + "\t" + md5 + "  f\n", kUnknownFormatText, 2},
        {"crc-md5.md5", "12345678 " + md5 + "  f\n", kUnknownFormatText, 1},
        {"crc-md5.txt", "; Hash: MD5\n12345678  " + md5 + "  f\n", kInvalidHashText, 2},
        {"name-first.md5", "f  " + md5 + "  " + sha1 + "\n", kInvalidHashText, 1},
        {"magnet.md5", "magnet:?xt=urn:btih:" + sha1 + "&dn=f\n", kUnknownFormatText, 1},
        {"ed2k.md5", "ed2k://|file|f|3|" + md5 + "|/\n", kUnknownFormatText, 1},
        {"ed2k.txt", "ed2k://|file|a b|3|" + md5 + "|/\n", kInvalidHashText, 1},
        {"deep.txt", "%%%% HASHDEEP-1.0\n%%%% size,md5,filename\n3," + md5 + ",f\n", kInvalidHashText, 1},
        {"deep.md5", "3," + md5 + ",f\n", kUnknownFormatText, 1},
    };
    for (const auto& c : cases) {
        CQmQuorviaDoc doc;
        EXPECT_EQ(Load(doc, c.name, c.bytes), u"<failed:" + std::u16string(c.text) + u">") << c.name;
        EXPECT_EQ(GetListErrorLine(), c.line) << c.name;
        EXPECT_EQ(doc.GetItemCount(), 0u) << c.name;
    }
}

// Links keep names that cannot stand in a line as escaped lines too.
TEST_F(HashListTest, LinksWithEscapedNames) {
#if defined(_WIN32)
    // '\\' separates folders there: "d\\x" is two directory fields.
    const std::string dirFields = "|d|x";
    const std::string copiedDirFields = dirFields;
#else
    const std::string dirFields = "|d\\\\x";
    const std::string copiedDirFields = "|d\\x";
#endif
    CQmQuorviaDoc doc;
    ASSERT_TRUE(doc.BeginTask(U(dir_.path()), QM_HASH_115, true));
    AddItem(doc, U(dir_ / "d\\x/a\nb"), 1);
    AddItem(doc, U(dir_ / "trail /c "), 2);
    const std::string text = Utf8(ComposeLinkLines(doc, U(dir_.path())));
    EXPECT_EQ(text.rfind("\\115://a\\nb|", 0), 0u) << text;
    EXPECT_NE(text.find(dirFields + "\r\n115://c |"), std::string::npos) << text;
    // The link the window copies stays as the name is.
    const std::string copied = Utf8(ComposeLink115(doc, *doc.GetItemAt(0), U(dir_.path())));
    EXPECT_EQ(copied.rfind("115://a\nb|", 0), 0u) << copied;
    EXPECT_EQ(copied.substr(copied.size() - 4), copiedDirFields);
    const std::u16string listPath = U(dir_ / "links.txt");
    ASSERT_TRUE(doc.SaveHashList(&listPath));
    CQmQuorviaDoc loaded;
    ASSERT_TRUE(loaded.LoadHashList(listPath)) << Utf8(GetLastErrorText());
    EXPECT_EQ(loaded.GetAlgorithm(), QM_HASH_115);
    EXPECT_EQ(Entries(loaded, dir_.path()), Entries(doc, dir_.path()));
}

// One line that no reading fits costs that line alone: every other line is
// read, and each broken one is kept with its place and reason for the
// window's box and the command line. rhash and md5deep write a name holding
// a line feed as it is, which leaves such a line.
TEST_F(HashListTest, UnreadableLinesCostOnlyThemselves) {
    const std::string h(40, 'a');
    const std::string v = "=" + std::string(40, 'A');
    CQmQuorviaDoc doc;
    ASSERT_EQ(Load(doc, "l.sha1",
                   h + "  first.txt\n" + h + "  line\nbreak.txt\n" + "; note\n" + std::string(39, 'b') +
                       "  odd.txt\n" + "MD5 (tag.txt) = " + std::string(32, 'c') + "\n" + h + "  last.txt\n"),
              u"");
    EXPECT_EQ(Entries(doc, dir_.path()), (std::vector<std::string>{"first.txt" + v, "line" + v, "last.txt" + v}));
    EXPECT_EQ(Unreadable(doc),
              (std::vector<std::string>{"3:未知的文件格式。", "5:无效的哈希值。", "6:不支持的算法类型。"}));
    EXPECT_EQ(GetListErrorLine(), 0u);
    EXPECT_EQ(doc.GetFileCount(), 3u);

    // The report belongs to the list loaded: a save (the file written holds
    // none of those lines) and Clear drop it.
    const std::u16string saved = U(dir_ / "saved.sha1");
    ASSERT_TRUE(doc.SaveHashList(&saved));
    EXPECT_TRUE(doc.GetUnreadableLines().empty());
    ASSERT_EQ(Load(doc, "l.sha1", h + "  a\nbroken\n"), u"");
    ASSERT_EQ(Unreadable(doc).size(), 1u);
    doc.Clear();
    EXPECT_TRUE(doc.GetUnreadableLines().empty());

    // A list in which no line reads still fails at its first line.
    EXPECT_EQ(Load(doc, "l.sha1", "junk\n" + std::string(39, 'b') + "  odd\n"), u"<failed:未知的文件格式。>");
    EXPECT_EQ(GetListErrorLine(), 1u);
    EXPECT_TRUE(doc.GetUnreadableLines().empty());
}

// Each line is read by its own shape, whatever the list is called; the
// list's name and header choose the algorithm and settle a line that reads
// two ways (a name that looks like a hash).
TEST_F(HashListTest, EachLineIsReadByItsOwnShape) {
    const std::string crc = "352441c2";
    const std::string v = "=352441C2";
    CQmQuorviaDoc doc;
    // rhash --simple --crc32 under an .sfv name: hash first, lower case,
    // escaped names; beside it an SFV line.
    ASSERT_EQ(Load(doc, "simple.sfv", crc + "  a b.txt\n" + crc + " *bin.txt\n\\" + crc + "  x\\ny\nsfv.txt 352441C2\n"),
              u"");
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_CRC32);
    EXPECT_EQ(Entries(doc, dir_.path()),
              (std::vector<std::string>{"a b.txt" + v, "bin.txt" + v, "x\ny" + v, "sfv.txt" + v}));
    // SFV lines and one-blank lines (md5 -r) under any name.
    ASSERT_EQ(Load(doc, "l.txt", "; Hash: CRC32\nsfv.txt 352441C2\n" + crc + " one blank.txt\n"), u"");
    EXPECT_EQ(Entries(doc, dir_.path()), (std::vector<std::string>{"sfv.txt" + v, "one blank.txt" + v}));
    ASSERT_EQ(Load(doc, "r.md5", std::string(32, 'd') + " r form.txt\n"), u"");
    EXPECT_EQ(Entries(doc, dir_.path()), std::vector<std::string>{"r form.txt=" + std::string(32, 'D')});
    // A line that reads both ways: SFV in an .sfv list, hash first in any
    // other; the program's own lines are never SFV.
    const std::string tie = "abcdef01  deadbeef\n";
    ASSERT_EQ(Load(doc, "tie.sfv", tie), u"");
    EXPECT_EQ(Entries(doc, dir_.path()), std::vector<std::string>{"abcdef01 =DEADBEEF"});
    ASSERT_EQ(Load(doc, "tie.crc32", tie), u"");
    EXPECT_EQ(Entries(doc, dir_.path()), std::vector<std::string>{"deadbeef=ABCDEF01"});
    ASSERT_EQ(Load(doc, "own.sfv", "ABCDEF01\t\tname DEADBEEF\r\n"), u"");
    EXPECT_EQ(Entries(doc, dir_.path()), std::vector<std::string>{"name DEADBEEF=ABCDEF01"});
}

// A list that names no algorithm: the user's word, else a hash length that
// only one algorithm has. 32 digits fit MD2, MD4 and MD5 alike.
TEST_F(HashListTest, AlgorithmFromTheUserOrTheHashLength) {
    const struct {
        size_t digits;
        int32_t algorithm;
    } cases[] = {{8, QM_HASH_CRC32}, {40, QM_HASH_SHA1}, {64, QM_HASH_SHA256}, {96, QM_HASH_SHA384}, {128, QM_HASH_SHA512}};
    for (const auto& c : cases) {
        CQmQuorviaDoc doc;
        EXPECT_EQ(Load(doc, "plain.txt", std::string(c.digits, '1') + "  f\n"), u"") << c.digits;
        EXPECT_EQ(doc.GetAlgorithm(), c.algorithm) << c.digits;
    }
    CQmQuorviaDoc doc;
    const std::string md5Line = std::string(32, '1') + "  f\n";
    EXPECT_EQ(Load(doc, "plain.txt", md5Line), u"<failed:不支持的算法类型。>");
    EXPECT_EQ(GetListErrorLine(), 0u);
    EXPECT_EQ(GetListUndecidedLength(), 32u);

    // The user's word settles it; it outranks the list's name and its tag
    // lines, but not its own comment.
    const std::u16string plain = U(dir_ / "plain.txt");
    ASSERT_TRUE(doc.LoadHashList(plain, QM_HASH_MD4)) << Utf8(GetLastErrorText());
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_MD4);
    EXPECT_EQ(GetListUndecidedLength(), 0u);
    const std::u16string named = U(dir_.Write("named.sha1", md5Line));
    ASSERT_TRUE(doc.LoadHashList(named, QM_HASH_MD5)) << Utf8(GetLastErrorText());
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_MD5);
    EXPECT_EQ(doc.GetItemCount(), 1u);
    const std::u16string tagged = U(dir_.Write("tagged.txt", "SHA1 (f) = " + std::string(40, '1') + "\n" + md5Line));
    ASSERT_TRUE(doc.LoadHashList(tagged, QM_HASH_MD5)) << Utf8(GetLastErrorText());
    EXPECT_EQ(Unreadable(doc), std::vector<std::string>{"1:不支持的算法类型。"});
    const std::u16string commented = U(dir_.Write("commented.txt", "; Hash: MD5\n" + md5Line));
    ASSERT_TRUE(doc.LoadHashList(commented, QM_HASH_SHA1)) << Utf8(GetLastErrorText());
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_MD5);
    // A comment naming an algorithm the program lacks leaves nothing to
    // guess from: the hashes are not of any algorithm it has.
    EXPECT_EQ(Load(doc, "whirl.txt", "; Hash: WHIRLPOOL\n" + std::string(128, '1') + "  f\n"),
              u"<failed:不支持的算法类型。>");
}

// The forms the everyday tools write beside coreutils' plain ones:
// OpenSSL's "ALG(name)= hash" (OpenSSL 3 says SHA2-256), the SHA2- tags of
// newer coreutils, and digests in base64, tagged or not.
TEST_F(HashListTest, FormsOfOtherTools) {
    const std::string abc256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const std::string v256 = "=BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
    CQmQuorviaDoc doc;
    ASSERT_EQ(Load(doc, "openssl.txt",
                   "SHA2-256(a b.txt)= " + abc256 + "\nSHA256(c(1))= " + abc256 + "\nSHA2-256 (d) = " + abc256 + "\n"),
              u"");
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_SHA256);
    EXPECT_EQ(Entries(doc, dir_.path()), (std::vector<std::string>{"a b.txt" + v256, "c(1)" + v256, "d" + v256}));
    ASSERT_EQ(Load(doc, "o.txt", "MD5(x)= 900150983cd24fb0d6963f7d28e17f72\n"), u"");
    EXPECT_EQ(Entries(doc, dir_.path()), std::vector<std::string>{"x=900150983CD24FB0D6963F7D28E17F72"});

    // base64, tagged and untagged.
    ASSERT_EQ(Load(doc, "b64.txt", "MD5 (e) = 1B2M2Y8AsgTpgAmY7PhCfg==\nMD5 (abc) = kAFQmDzST7DWlj99KOF/cg==\n"), u"");
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_MD5);
    EXPECT_EQ(Entries(doc, dir_.path()), (std::vector<std::string>{"e=D41D8CD98F00B204E9800998ECF8427E",
                                                                   "abc=900150983CD24FB0D6963F7D28E17F72"}));
    ASSERT_EQ(Load(doc, "b64.sha256", "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=  abc\n"), u"");
    EXPECT_EQ(Entries(doc, dir_.path()), std::vector<std::string>{"abc" + v256});
    // 64 characters of base64 are SHA384 where 64 hexadecimal digits are SHA256.
    ASSERT_EQ(Load(doc, "b64.sha384", "ywB1P0WjXou1oD1pmsZQBycsMqsO3tFjGotgWkP/W+2AhgcroefMI1i67KE0yCWn  abc\n"), u"");
    EXPECT_EQ(Entries(doc, dir_.path()),
              std::vector<std::string>{"abc=CB00753F45A35E8BB5A03D699AC65007272C32AB0EDED1631A8B605A43FF5BED8086072BA1E7CC2358BAECA134C825A7"});
    // base64 that is not the digest: bits beyond it, another length; and
    // CRC32 digests are hexadecimal only.
    ASSERT_EQ(Load(doc, "bad.md5",
                   "MD5 (ok) = kAFQmDzST7DWlj99KOF/cg==\nMD5 (bits) = kAFQmDzST7DWlj99KOF/ch==\n"
                   "MD5 (long) = ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=\n"),
              u"");
    EXPECT_EQ(Unreadable(doc), (std::vector<std::string>{"2:无效的哈希值。", "3:无效的哈希值。"}));
    EXPECT_EQ(Load(doc, "b.sfv", "NSRBwg==  f\n"), u"<failed:无效的哈希值。>");
    // A tag line is nothing else, even where its end reads as SFV; prose
    // is no base64 digest.
    ASSERT_EQ(Load(doc, "t.sfv", "a.txt 352441C2\nBLAKE2 (f) = 352441c2\nSome words here\n"), u"");
    EXPECT_EQ(Entries(doc, dir_.path()), std::vector<std::string>{"a.txt=352441C2"});
    EXPECT_EQ(Unreadable(doc), (std::vector<std::string>{"2:不支持的算法类型。", "3:无效的哈希值。"}));
}

// A name with no UTF-8 form is never written: the list would name another
// file or none. (Linux: bytes that are not UTF-8; Windows: an unpaired
// surrogate.) Only the name as the list holds it counts.
TEST_F(HashListTest, NamesWithoutUtf8FormAreNeverWritten) {
#if defined(_WIN32)
    const std::u16string bad = U(dir_.path()) + u"\\bad\xD800.txt";
#else
    const std::u16string bad = PathFromOs((dir_ / "bad\xFF.txt").string());
#endif
    CQmQuorviaDoc doc;
    ASSERT_TRUE(doc.BeginTask(U(dir_.path()), QM_HASH_CRC32, true));
    AddItem(doc, MakeFile("fine"), 1);
    AddItem(doc, bad, 2);
    EXPECT_FALSE(WriteListFile(doc, U(dir_ / "out.sfv"), ListFormat::Sfv));
    EXPECT_EQ(GetLastErrorText(), ListDisplayPath(bad, U(dir_.path())) + u": " + std::u16string(kUnwritableNameText));
    EXPECT_FALSE(fs::exists(dir_ / "out.sfv"));
    const std::u16string txt = U(dir_ / "l.txt");
    EXPECT_FALSE(doc.SaveHashList(&txt));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(fs::exists(dir_ / "l.txt"));
#if !defined(_WIN32)
    // A folder above the list may be named anyhow.
    const fs::path top = dir_ / "top\xFD";
    CQmQuorviaDoc above;
    ASSERT_TRUE(above.BeginTask(PathFromOs(top.string()), QM_HASH_SHA1, true));
    AddItem(above, PathFromOs(dir_.Write("top\xFD/a.txt", "a").string()), 3);
    EXPECT_TRUE(WriteListFile(above, PathFromOs((top / "l.sha1").string()), ListFormat::List)) << Utf8(GetLastErrorText());
    CQmQuorviaDoc reread;
    ASSERT_TRUE(reread.LoadHashList(PathFromOs((top / "l.sha1").string())));
    EXPECT_EQ(reread.GetItemAt(0)->GetPath(), above.GetItemAt(0)->GetPath());
#endif
}

}  // namespace
}  // namespace qm
