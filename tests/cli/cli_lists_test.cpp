// Lists between tools: a tree of awkward but legal names goes through every
// layout and format quorvia-cli writes, through the lists the common
// checksum tools write, and through their checks of ours. Each name must
// come back exactly, and each changed file must be reported as changed and
// no other.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "common/error_record.h"
#include "common/utf.h"
#include "document/hash_list.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "engines/hash_catalog.h"
#include "engines/hash_text.h"
#include "engines/register_engines.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::CliResult;

// Each awkward name has a plain one beside it that a careless reader would
// check instead (" lead.txt" and "lead.txt", "back\slash.txt" and
// "back/slash.txt", ...).
const std::vector<std::string> kAwkwardNames = {
    " lead.txt",      "lead.txt",        "trail.txt ",   "trail.txt",      "*star.txt",   "star.txt",
    "semi;colon.txt", "semi",            "tab\there.txt", "two  spaces.txt", "two spaces.txt", "中文名.txt",
    "..foo/inner.txt", "\\first.txt",    "first.txt",    "cr\rname.txt",   "back\\slash.txt", "back/slash.txt",
    "line\nbreak.txt", "line",
};
// The files the tests change; the others stay as they were.
const std::vector<std::string> kChangedNames = {" lead.txt", "trail.txt ", "*star.txt", "semi;colon.txt",
                                                "back\\slash.txt", "line\nbreak.txt"};

bool HasLineBreakOrBackslash(const std::string& name) { return name.find_first_of("\n\\") != std::string::npos; }

bool HaveProgram(const std::string& name) { return test::RunProgram({"sh", "-c", "command -v " + name}).exitCode == 0; }

class CliListsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterBuiltInEngines(); }

    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldConfigHome_ = old;
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        for (const std::string& name : kAwkwardNames) dir_.Write("tree/" + name, "first " + name);
    }
    void TearDown() override { setenv("XDG_CONFIG_HOME", oldConfigHome_.c_str(), 1); }

    fs::path Tree() const { return dir_ / "tree"; }

    CliResult Run(const std::vector<std::string>& args) const {
        test::CliOptions options;
        options.env.emplace_back("XDG_CONFIG_HOME", (dir_ / "config").string());
        options.cwd = Tree().string();
        return test::RunCli(args, options);
    }
    CliResult RunTool(const std::vector<std::string>& command) const {
        test::CliOptions options;
        options.cwd = Tree().string();
        return test::RunProgram(command, options);
    }

    void ChangeFiles() const {
        for (const std::string& name : kChangedNames) dir_.Write("tree/" + name, "second " + name);
    }

    // The list loaded here: its entries' names below the tree, in list order,
    // and its algorithm. Every entry must name an existing file.
    std::vector<std::string> LoadNames(const std::string& list, int32_t& algorithm) const {
        CQmQuorviaDoc doc;
        const bool loaded = doc.LoadHashList(PathFromOs((Tree() / list).string()));
        EXPECT_TRUE(loaded) << list << ": " << Utf16ToUtf8(GetLastErrorText());
        algorithm = doc.GetAlgorithm();
        std::vector<std::string> names;
        const std::string base = Tree().string() + "/";
        for (size_t i = 0; i < doc.GetItemCount(); ++i) {
            const std::string path = Utf16ToUtf8(doc.GetItemAt(i)->GetPath());
            EXPECT_EQ(path.rfind(base, 0), 0u) << path;
            EXPECT_TRUE(doc.GetItemAt(i)->GetError().empty()) << path;
            names.push_back(path.substr(std::min(base.size(), path.size())));
        }
        return names;
    }

    static std::string HashText(int32_t algorithm, const std::string& bytes) {
        auto engine = GetHashCatalog().CreateObject(algorithm);
        uint8_t digest[QM_MAX_DIGEST_SIZE] = {};
        engine->Init();
        engine->Update(bytes.data(), static_cast<uint32_t>(bytes.size()));
        engine->Final(digest);
        std::u16string text;
        GetHashValueText(algorithm, digest, engine->GetHashSize(), text);
        return Utf16ToUtf8(text);
    }

    // The list names exactly `expected` (in any order); `verify` reports
    // every file correct; after ChangeFiles it reports the changed ones, with
    // their new hashes, and no other.
    void CheckList(const std::string& list, const std::vector<std::string>& expected) const {
        SCOPED_TRACE(list);
        int32_t algorithm = 0;
        const std::vector<std::string> names = LoadNames(list, algorithm);
        EXPECT_EQ(std::multiset<std::string>(names.begin(), names.end()),
                  std::multiset<std::string>(expected.begin(), expected.end()));
        std::string allCorrect;
        for (const std::string& name : names) allCorrect += name + "\t文件检查正确\n";
        CliResult r = Run({"verify", list});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, allCorrect);

        ChangeFiles();
        std::string reported;
        size_t changed = 0;
        for (const std::string& name : names) {
            if (std::find(kChangedNames.begin(), kChangedNames.end(), name) == kChangedNames.end()) {
                reported += name + "\t文件检查正确\n";
            } else {
                reported += name + "\t新文件HASH值:" + HashText(algorithm, "second " + name) + "\n";
                ++changed;
            }
        }
        r = Run({"verify", list});
        EXPECT_EQ(r.exitCode, changed > 0 ? 1 : 0) << r.err;
        EXPECT_EQ(r.out, reported);
        EXPECT_NE(r.err.find("不一致 " + std::to_string(changed) + " 个，失败 0 个"), std::string::npos) << r.err;
        for (const std::string& name : kChangedNames) dir_.Write("tree/" + name, "first " + name);
    }

    // The names with "tree/" stripped, as the tools are given them.
    static std::vector<std::string> Command(std::vector<std::string> command, const std::vector<std::string>& names) {
        command.emplace_back("--");
        command.insert(command.end(), names.begin(), names.end());
        return command;
    }

    test::TempDir dir_;
    std::string oldConfigHome_;
};

// Every layout and format quorvia-cli writes reads back with every name as
// it is. Each list is removed before the next run, so none lists another.
TEST_F(CliListsTest, EveryFormatRoundTripsTheAwkwardTree) {
    const struct {
        const char* algorithm;
        const char* format;
        const char* list;
    } cases[] = {
        {"sha256", "list", "list.txt"}, {"md5", "list", "plain.md5"},  {"115", "list", "links.txt"},
        {"sha1", "sum", "SHA1SUMS"},    {"sha512", "sum", "l.sha512"}, {"md4", "bsd", "tags.txt"},
        {"crc32", "bsd", "tags.md5"},   {"crc32", "sfv", "l.sfv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + c.algorithm);
        const CliResult r = Run({"hash", "-a", c.algorithm, std::string("--format=") + c.format, "-o", c.list, "."});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        CheckList(c.list, kAwkwardNames);
        fs::remove(Tree() / c.list);
    }
}

// Our sum lists pass the real md5sum, sha1sum, sha256sum and sha512sum -c,
// which fail exactly the changed files.
TEST_F(CliListsTest, CoreutilsCheckOurSumLists) {
    // As the tools print names when checking: escaped only for a line feed.
    const std::set<std::string> failed = {" lead.txt: FAILED",      "trail.txt : FAILED",
                                          "*star.txt: FAILED",      "semi;colon.txt: FAILED",
                                          "back\\slash.txt: FAILED", "\\line\\nbreak.txt: FAILED"};
    for (const std::string tool : {"md5sum", "sha1sum", "sha256sum", "sha512sum"}) {
        SCOPED_TRACE(tool);
        const std::string algorithm = tool.substr(0, tool.size() - 3);
        std::string sums = algorithm;
        std::transform(sums.begin(), sums.end(), sums.begin(), ::toupper);
        sums += "SUMS";
        ASSERT_EQ(Run({"hash", "-a", algorithm, "--format=sum", "-o", sums, "."}).exitCode, 0);
        CliResult r = RunTool({tool, "--check", "--strict", sums});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<long>(kAwkwardNames.size())) << r.out;
        EXPECT_EQ(r.out.find("FAILED"), std::string::npos) << r.out;

        ChangeFiles();
        r = RunTool({tool, "--check", "--strict", sums});
        EXPECT_EQ(r.exitCode, 1);
        std::set<std::string> reported;
        size_t start = 0;
        for (size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::string line = r.out.substr(start, end - start);
            if (line.size() >= 8 && line.substr(line.size() - 8) == ": FAILED") reported.insert(line);
        }
        EXPECT_EQ(reported, failed) << r.out;
        for (const std::string& name : kChangedNames) dir_.Write("tree/" + name, "first " + name);
        fs::remove(Tree() / sums);
    }
}

// The lists the common tools write in text, binary and tag mode, escaped
// names included, read back name for name.
TEST_F(CliListsTest, CoreutilsListsAreRead) {
    const struct {
        std::vector<std::string> command;
        const char* list;
    } cases[] = {
        {{"md5sum"}, "text.md5"},           {{"md5sum", "--binary"}, "MD5SUMS"},
        {{"md5sum", "--tag"}, "tag.txt"},   {{"sha1sum"}, "text.sha1"},
        {{"sha256sum", "-b"}, "SHA256SUMS"}, {{"sha512sum", "--tag"}, "tag512.sha1"},
        {{"sha384sum"}, "l.sha384"},
    };
    for (const auto& c : cases) {
        const CliResult r = RunTool(Command(c.command, kAwkwardNames));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        ASSERT_NE(r.out.find("line\\nbreak.txt"), std::string::npos) << "the tool no longer escapes names";
        dir_.Write(std::string("tree/") + c.list, r.out);
        CheckList(c.list, kAwkwardNames);
    }
}

// rhash's SFV, simple and BSD lists. It writes a line feed as it is and takes
// a backslash for a separator itself, so those names are left out.
TEST_F(CliListsTest, RhashListsAreRead) {
    if (!HaveProgram("rhash")) GTEST_SKIP() << "rhash is not installed (scripts/install-deps.sh installs it)";
    std::vector<std::string> names;
    for (const std::string& name : kAwkwardNames) {
        if (!HasLineBreakOrBackslash(name)) names.push_back(name);
    }
    const struct {
        std::vector<std::string> command;
        const char* list;
    } cases[] = {
        {{"rhash", "--sfv", "--crc32"}, "rhash.sfv"},
        {{"rhash", "--simple", "--sha1"}, "simple.sha1"},
        {{"rhash", "--simple", "--md5"}, "MD5SUMS"},
        {{"rhash", "--bsd", "--sha256"}, "bsd.txt"},
        {{"rhash", "--bsd", "--crc32"}, "bsd-crc.txt"},
        // CRC32 hash first, under the SFV name and under .crc32.
        {{"rhash", "--simple", "--crc32"}, "simple.sfv"},
        {{"rhash", "--simple", "--crc32"}, "simple.crc32"},
    };
    for (const auto& c : cases) {
        const CliResult r = RunTool(Command(c.command, names));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        dir_.Write(std::string("tree/") + c.list, r.out);
        CheckList(c.list, names);
    }
    // Several digests of a file in tag lines: the first tag names the
    // list's algorithm, each line of another is reported, the rest checked.
    CliResult r = RunTool({"rhash", "--bsd", "--md5", "--sha1", "--", "star.txt", "lead.txt"});
    dir_.Write("tree/multi.txt", r.out);
    r = Run({"verify", "multi.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "star.txt\t文件检查正确\nlead.txt\t文件检查正确\n");
    EXPECT_EQ(r.err.rfind("multi.txt:2: 不支持的算法类型。\nmulti.txt:4: 不支持的算法类型。\n", 0), 0u) << r.err;
    // Several digests on one line name no file that could be told.
    r = RunTool({"rhash", "--md5", "--sha1", "--", "star.txt"});
    dir_.Write("tree/multi.md5", r.out);
    r = Run({"verify", "multi.md5"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "multi.md5:1: 无效的哈希值。\n");
    EXPECT_TRUE(r.out.empty());
}

// rhash writes a name holding a line feed as it is, which leaves one line no
// reader can parse. That line is reported and every other one checked, as
// coreutils checks the same list: the line's first half names the file
// "line", which is then found changed.
TEST_F(CliListsTest, ALineFeedInANameCostsThatLineAlone) {
    if (!HaveProgram("rhash")) GTEST_SKIP() << "rhash is not installed (scripts/install-deps.sh installs it)";
    std::vector<std::string> names;
    for (const std::string& name : kAwkwardNames) {
        if (name.find('\\') == std::string::npos) names.push_back(name);
    }
    CliResult r = RunTool(Command({"rhash", "--simple", "--sha1"}, names));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    dir_.Write("tree/SHA1SUMS", r.out);
    const size_t broken = static_cast<size_t>(std::count(r.out.begin(), r.out.find("\nbreak.txt") + r.out.begin(), '\n')) + 2;

    r = Run({"verify", "SHA1SUMS"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("SHA1SUMS:" + std::to_string(broken) + ": 未知的文件格式。\n", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("不一致 1 个，失败 1 个"), std::string::npos) << r.err;
    std::set<std::string> correct, other;
    for (size_t start = 0, end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = r.out.substr(start, end - start);
        const size_t tab = line.rfind('\t');
        (line.substr(tab + 1) == "文件检查正确" ? correct : other).insert(line.substr(0, tab));
    }
    EXPECT_EQ(other, std::set<std::string>{"line"});
    EXPECT_EQ(correct.size(), names.size() - 1);

    r = RunTool({"sha1sum", "--check", "SHA1SUMS"});
    EXPECT_NE(r.out.find("\nline: FAILED\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("1 line is improperly formatted"), std::string::npos) << r.err;
}

// OpenSSL's lists: "SHA2-256(name)= hash" (OpenSSL 3's name for SHA256)
// and -r's "hash *name". It writes names as they are,
// so those with a line feed or a backslash are left out.
TEST_F(CliListsTest, OpensslListsAreRead) {
    if (!HaveProgram("openssl")) GTEST_SKIP() << "openssl is not installed";
    std::vector<std::string> names;
    for (const std::string& name : kAwkwardNames) {
        if (!HasLineBreakOrBackslash(name)) names.push_back(name);
    }
    const struct {
        std::vector<std::string> command;
        const char* list;
    } cases[] = {
        {{"openssl", "dgst", "-sha256"}, "openssl.txt"},
        {{"openssl", "dgst", "-sha1", "-r"}, "r.sha1"},
    };
    for (const auto& c : cases) {
        const CliResult r = RunTool(Command(c.command, names));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        dir_.Write(std::string("tree/") + c.list, r.out);
        CheckList(c.list, names);
    }
}

// Linux names are bytes. A file whose name is not UTF-8 could only be
// listed under a name that names another file or none: it is reported as
// failed with the reason and left out of the list, which then checks.
TEST_F(CliListsTest, NamesThatAreNotUtf8StayOutOfTheList) {
    dir_.Write("bytes/ok.txt", "ok");
    dir_.Write("bytes/bad\xFF.txt", "bad");
    for (const char* format : {"--format=list", "--format=sum"}) {
        SCOPED_TRACE(format);
        const CliResult r = Run({"hash", "-a", "sha1", format, "-o", "../bytes/SHA1SUMS", "../bytes"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("bad\xFF.txt\t文件名含有无效的字符编码，无法写入校验列表。\n"), std::string::npos) << r.err;
        const std::string list = test::ReadBytes(dir_ / "bytes/SHA1SUMS");
        EXPECT_EQ(list.find("bad"), std::string::npos) << list;
        EXPECT_NE(list.find("ok.txt"), std::string::npos) << list;
        const CliResult verified = Run({"verify", "../bytes/SHA1SUMS"});
        EXPECT_EQ(verified.exitCode, 0) << verified.err;
        EXPECT_EQ(verified.out, "ok.txt\t文件检查正确\n");
    }
    test::CliOptions options;
    options.cwd = (dir_ / "bytes").string();
    EXPECT_EQ(test::RunProgram({"sha1sum", "--check", "--strict", "SHA1SUMS"}, options).exitCode, 0);
}

}  // namespace
}  // namespace qm
