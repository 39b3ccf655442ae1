// quorvia-cli scenarios: each runs the built program on data the test makes
// and checks its output, its files and its exit code.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "common/error_record.h"
#include "common/os/error_codes.h"
#include "common/utf.h"
#include "engines/hash_catalog.h"
#include "engines/register_engines.h"
#include "support/sparse_file.h"
#include "support/temp_dir.h"
#include "version.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::RunCli;

constexpr std::string_view kBom = "\xEF\xBB\xBF";
// Digests of "abc" (the published test vectors).
constexpr std::string_view kAbcSha1 = "A9993E364706816ABA3E25717850C26C9CD0D89D";
constexpr std::string_view kAbcMd5 = "900150983CD24FB0D6963F7D28E17F72";
constexpr std::string_view kAbcCrc32 = "352441C2";

// Creating a file in a folder that does not exist: Windows tells a missing
// folder from a missing file.
#if defined(_WIN32)
constexpr uint32_t kNoSuchFolder = ERROR_PATH_NOT_FOUND;
#else
constexpr uint32_t kNoSuchFolder = ENOENT;
#endif

// A relative path as the program writes it: with the system's separator.
std::string N(std::string path) {
#if defined(_WIN32)
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
}

std::string SystemText(uint32_t code) {
    std::u16string text;
    GetSystemErrorMessage(code, text);
    return Utf16ToUtf8(text);
}

std::string Sha1Of(std::string_view bytes) {
    RegisterBuiltInEngines();
    auto engine = GetHashCatalog().CreateObject(QM_HASH_SHA1);
    uint8_t digest[QM_MAX_DIGEST_SIZE];
    engine->Init();
    engine->Update(bytes.data(), static_cast<uint32_t>(bytes.size()));
    engine->Final(digest);
    std::u16string text;
    engine->GetHashText(digest, text);
    return Utf16ToUtf8(text);
}

class CliTest : public ::testing::Test {
protected:
    // Each test has its own settings home, so the saved algorithm of one run
    // is seen only by the runs of the same test.
    CliResult Run(const std::vector<std::string>& args, test::CliOptions options = {}) const {
        options.env.emplace_back("XDG_CONFIG_HOME", test::Utf8Path(dir_ / "config"));
        if (options.cwd.empty()) options.cwd = test::Utf8Path(dir_.path());
        return RunCli(args, options);
    }
    std::string P(std::string_view name) const { return test::Utf8Path((dir_ / name).make_preferred()); }
    test::TempDir dir_;
};

// 1. Version, help and every kind of bad command line.
TEST_F(CliTest, VersionHelpAndUsageErrors) {
    CliResult r = Run({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, Utf16ToUtf8(QM_PRODUCT_NAME_U16) + " " + QM_VERSION_TEXT + "\n");
    r = Run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("用法：\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("quorvia-cli verify"), std::string::npos);

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"hash"},
        {"hash", "-a"},
        {"hash", "--bogus", "x"},
        {"hash", "-o", "", "x"},
        {"verify"},
        {"verify", "a", "b"},
        {"verify", "-a"},
        {"verify", "--bogus", "l"},
        {"verify", "-x", "a"},
        {"hash", "-j", "0", "x"},
        {"hash", "--jobs=65", "x"},
        {"hash", "-j2x", "x"},
        {"hash", "x", "-j"},
        {"verify", "-j", "a"},
        {"algorithms", "extra"},
    };
    for (const auto& args : bad) {
        r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("用法："), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

// 2. The catalogue's names in catalogue order.
TEST_F(CliTest, AlgorithmsInCatalogueOrder) {
    RegisterBuiltInEngines();
    std::string expected;
    for (int i = 0; i < GetHashCatalog().GetCount(); ++i) {
        expected += Utf16ToUtf8(GetHashCatalog().GetAt(i)->name) + "\n";
    }
    const CliResult r = Run({"algorithms"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, expected);
    EXPECT_NE(r.out.find("SHA1\n"), std::string::npos);
}

// 3. The list on standard output: groups by directory in order of first
// appearance (inputs in order, subdirectories breadth first after them),
// names in the list view's order, paths relative to the common root of the
// inputs, no byte-order mark.
TEST_F(CliTest, HashPrintsTheListInDisplayOrder) {
    for (const char* name : {"in/b.txt", "in/A.txt", "in/10.bin", "in/9.bin", "in/sub/x", "other/y"}) {
        dir_.Write(name, "abc");
    }
    const CliResult r = Run({"hash", "in", P("other/y")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string h(kAbcSha1);
    EXPECT_EQ(r.out, "; Hash: SHA1\r\n\r\n" + h + "\t\t" + N("in/9.bin") + "\r\n" + h + "\t\t" + N("in/10.bin") +
                         "\r\n" + h + "\t\t" + N("in/A.txt") + "\r\n" + h + "\t\t" + N("in/b.txt") + "\r\n" + h +
                         "\t\t" + N("other/y") + "\r\n" + h + "\t\t" + N("in/sub/x") + "\r\n");
    EXPECT_NE(r.err.find("耗时："), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("文件总数: 6 个 , 总大小: 18 字节\n"), std::string::npos) << r.err;
}

// 3a. Any number of workers writes the list one worker wrote, byte for byte,
// for every algorithm: the lists in golden/one_worker/ were written by the
// program when it hashed with one reader and one hasher. The tree has files
// at and around the block sizes, one large enough to be read ahead by a
// second worker, and many small ones; their names sort alike in every
// locale's collation.
TEST_F(CliTest, ListsAreTheSameWithAnyNumberOfJobs) {
    const std::vector<std::pair<std::string, size_t>> files = {
        {"t/a/empty", 0},         {"t/a/one", 1},           {"t/a/s262143", 262143}, {"t/a/s262144", 262144},
        {"t/a/s262145", 262145}, {"t/a/sub/big", 3145735}, {"t/b/m1048577", 1048577},
    };
    // Each byte depends on its place, with a step every 2 KiB, so a block
    // hashed twice, left out or out of order changes every digest.
    const auto bytes = [](size_t size, unsigned seed) {
        std::string data(size, '\0');
        for (size_t k = 0; k < size; ++k) data[k] = static_cast<char>((k * 131 + (k >> 11) * 7 + seed * 17) & 0xFF);
        return data;
    };
    unsigned seed = 1;
    for (const auto& [name, size] : files) dir_.Write(name, bytes(size, seed++));
    for (unsigned i = 0; i < 20; ++i) dir_.Write("t/b/many/f" + std::to_string(i), bytes(1000 * i + 13, seed++));

    RegisterBuiltInEngines();
    const CQmHashCatalog& catalog = GetHashCatalog();
    for (int i = 0; i < catalog.GetCount(); ++i) {
        const HashClassEntry* entry = catalog.GetAt(i);
        SCOPED_TRACE(Utf16ToUtf8(entry->name));
        const fs::path golden =
            fs::path(QM_TEST_SOURCE_DIR) / "cli" / "golden" / "one_worker" / (std::to_string(entry->classId) + ".txt");
        std::string want = test::ReadBytes(golden);
        ASSERT_FALSE(want.empty()) << golden;
        for (const char* jobs : {"1", "3"}) {
            const CliResult r = Run({"hash", "-a", Utf16ToUtf8(entry->name), "-j", jobs, "t"});
            EXPECT_EQ(r.exitCode, 0) << r.err;
            std::string got = r.out;
            // The lists were written on Linux; here only the separator differs.
            std::replace(got.begin(), got.end(), '\\', '/');
            EXPECT_EQ(got, want) << "-j " << jobs;
        }
    }
}

// 4. -a takes catalogue names ignoring case and '-', and "115".
TEST_F(CliTest, AlgorithmNames) {
    dir_.Write("d/f", "abc");
    CliResult r = Run({"hash", "-a", "sha-256", "d"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("; Hash: SHA256\r\n", 0), 0u) << r.out;
    r = Run({"hash", "--algorithm=crc32", "d"});
    EXPECT_EQ(r.out, "; Hash: CRC32\r\n\r\n" + std::string(kAbcCrc32) + "\t\tf\r\n");
    r = Run({"hash", "-aMD5", "d"});
    EXPECT_EQ(r.out, "; Hash: MD5\r\n\r\n" + std::string(kAbcMd5) + "\t\tf\r\n");
    r = Run({"hash", "-a", "115", "d"});
    EXPECT_EQ(r.out, "115://f|3|" + std::string(kAbcSha1) + "|" + std::string(kAbcSha1) + "\r\n");

    r = Run({"hash", "-a", "whirlpool", "d"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "不支持的算法类型。\n" + Run({"algorithms"}).out);
    EXPECT_TRUE(r.out.empty());
}

// 5. Without -a the saved algorithm is used; a run stores the one it used.
TEST_F(CliTest, DefaultAlgorithmIsTheSavedOne) {
    dir_.Write("d/f", "abc");
    EXPECT_EQ(Run({"hash", "d"}).out.rfind("; Hash: SHA1\r\n", 0), 0u);
    ASSERT_EQ(Run({"hash", "-a", "md5", "d"}).exitCode, 0);
    EXPECT_EQ(Run({"hash", "d"}).out.rfind("; Hash: MD5\r\n", 0), 0u);
}

// 6. --no-recurse leaves subdirectories out.
TEST_F(CliTest, NoRecurse) {
    dir_.Write("d/top", "abc");
    dir_.Write("d/sub/deep", "abc");
    const CliResult r = Run({"hash", "--no-recurse", "-a", "crc32", "d"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "; Hash: CRC32\r\n\r\n" + std::string(kAbcCrc32) + "\t\ttop\r\n");
}

// 7. -o writes exactly the desktop program's file: byte-order mark, header
// unless .md5/.sha1, links for 115网盘; paths relative to the list's folder.
TEST_F(CliTest, OutputFileIsTheSavedList) {
    dir_.Write("d/f", "abc");
    dir_.Write("d/sub/g", "abc");
    CliResult r = Run({"hash", "-a", "md5", "-o", "d/list.txt", "d"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    const std::string lines = std::string(kAbcMd5) + "\t\tf\r\n" + std::string(kAbcMd5) + "\t\t" + N("sub/g") + "\r\n";
    EXPECT_EQ(test::ReadBytes(dir_ / "d/list.txt"), std::string(kBom) + "; Hash: MD5\r\n\r\n" + lines);
    fs::remove(dir_ / "d/list.txt");  // so that the next runs do not list it
    r = Run({"hash", "-a", "md5", "-o", P("d/list.MD5"), "d/f", "d/sub"});
    EXPECT_EQ(test::ReadBytes(dir_ / "d/list.MD5"), std::string(kBom) + lines);
    fs::remove(dir_ / "d/list.MD5");
    // Saved in a subfolder: files outside it are named in full.
    r = Run({"hash", "-a", "md5", "-o", "d/sub/l.txt", "d"});
    EXPECT_EQ(test::ReadBytes(dir_ / "d/sub/l.txt"),
              std::string(kBom) + "; Hash: MD5\r\n\r\n" + std::string(kAbcMd5) + "\t\t" + P("d/f") + "\r\n" +
                  std::string(kAbcMd5) + "\t\tg\r\n");
    fs::remove(dir_ / "d/sub/l.txt");
    r = Run({"hash", "-a", "115", "-o", "d/links.txt", "d"});
    EXPECT_EQ(test::ReadBytes(dir_ / "d/links.txt"),
              std::string(kBom) + "115://f|3|" + std::string(kAbcSha1) + "|" + std::string(kAbcSha1) +
                  "\r\n115://g|3|" + std::string(kAbcSha1) + "|" + std::string(kAbcSha1) + "|sub\r\n");
    // A list that cannot be written.
    r = Run({"hash", "-o", "no/such/dir/l.txt", "d"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("写入文件[" + P("no/such/dir/l.txt") + "]失败:" + SystemText(kNoSuchFolder) + "\n"),
              std::string::npos)
        << r.err;
}

// 8. Missing inputs are all named, as given, and nothing runs.
TEST_F(CliTest, MissingPaths) {
    dir_.Write("here", "abc");
    const CliResult r = Run({"hash", "-o", "l.txt", "here", "gone1", P("gone2")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "以下文件或目录已不存在，请检查后再重新尝试：\ngone1\n" + P("gone2") + "\n");
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(fs::exists(dir_ / "l.txt"));
}

// 9. A file that cannot be read is reported with its error; the list is
// still written with the others and the exit code is 1.
TEST_F(CliTest, FailedFileIsReportedAndTheRestWritten) {
    dir_.Write("d/ok", "abc");
#if defined(_WIN32)
    // A file another program holds open without sharing is listed but cannot
    // be opened for reading.
    dir_.Write("d/sock", "abc");
    const std::string socketPath = P("d/sock");
    const HANDLE held = CreateFileW(test::PathFromUtf8(socketPath).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const CliResult r = Run({"hash", "-a", "crc32", "-o", "d/l.txt", "d"});
    CloseHandle(held);
#else
    // A socket is listed like a file but cannot be opened for reading.
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    struct sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const std::string socketPath = P("d/sock");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const CliResult r = Run({"hash", "-a", "crc32", "-o", "d/l.txt", "d"});
    close(fd);
#endif
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(socketPath + "\t"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(socketPath + "\t\n"), std::string::npos) << "the error text is missing";
    EXPECT_EQ(test::ReadBytes(dir_ / "d/l.txt"),
              std::string(kBom) + "; Hash: CRC32\r\n\r\n" + std::string(kAbcCrc32) + "\t\tok\r\n");
}

// 10. verify: one line per file in list order, its status as the list view
// shows it, counts on standard error.
TEST_F(CliTest, VerifyReportsEachFile) {
    dir_.Write("d/same", "abc");
    dir_.Write("d/changed", "abc");
    dir_.Write("d/gone", "abc");
    dir_.Write("outside", "abc");
    ASSERT_EQ(Run({"hash", "-o", "d/l.sha1", "d"}).exitCode, 0);
    CliResult r = Run({"verify", "d/l.sha1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "changed\t文件检查正确\ngone\t文件检查正确\nsame\t文件检查正确\n");

    dir_.Write("d/changed", "abcd");
    fs::remove(dir_ / "d/gone");
    // A line naming a file outside the list's folder, by full path.
    std::string list = test::ReadBytes(dir_ / "d/l.sha1");
    list += std::string(kAbcSha1) + "\t\t" + P("outside") + "\r\n";
    dir_.Write("d/l.sha1", list);
    r = Run({"verify", P("d/l.sha1")});
    EXPECT_EQ(r.exitCode, 1);
    const std::string expectedStart = "changed\t新文件HASH值:" + Sha1Of("abcd") + "\ngone\t";
    EXPECT_EQ(r.out.substr(0, expectedStart.size()), expectedStart) << r.out;
    const size_t goneEnd = r.out.find('\n', expectedStart.size());
    ASSERT_NE(goneEnd, std::string::npos);
    const std::string goneText = r.out.substr(expectedStart.size(), goneEnd - expectedStart.size());
    EXPECT_NE(goneText.find(SystemText(os::kErrorNotFound)), std::string::npos) << goneText;
    EXPECT_NE(r.out.find("\nsame\t文件检查正确\n" + P("outside") + "\t文件检查正确\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("检查结果：正确 2 个，不一致 1 个，失败 1 个\n"), std::string::npos) << r.err;
    // Several workers report the same, in the list's order.
    const CliResult parallel = Run({"verify", "--jobs=3", P("d/l.sha1")});
    EXPECT_EQ(parallel.exitCode, 1);
    EXPECT_EQ(parallel.out, r.out);
}

// 11. A list that cannot be loaded: its reason, exit 2.
TEST_F(CliTest, VerifyOfAnUnloadableList) {
    CliResult r = Run({"verify", "missing.txt"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "打开文件 " + P("missing.txt") + " 失败:" + SystemText(os::kErrorNotFound) + "\n");
    // A list in which no line reads fails at its first line, named by the
    // list as given and the line.
    dir_.Write("bad.txt", "; Hash: SHA1\r\nnot-a-hash-line\r\n" + std::string(kAbcMd5) + "  g\r\n");
    r = Run({"verify", "bad.txt"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "bad.txt:2: 未知的文件格式。\n");
    dir_.Write("sub/short.md5", "\r\n; note\r\n" + std::string(kAbcSha1) + "  g\r\n");
    r = Run({"verify", P("sub/short.md5")});
    EXPECT_EQ(r.err, P("sub/short.md5") + ":3: 无效的哈希值。\n");
    dir_.Write("tag.txt", "WHIRLPOOL (f) = " + std::string(kAbcMd5) + "\n");
    r = Run({"verify", "tag.txt"});
    EXPECT_EQ(r.err, "tag.txt:1: 不支持的算法类型。\n");
    // A failure that is not at a line keeps its text alone; when the hashes'
    // length fits several algorithms, the user is asked to name one.
    dir_.Write("none.txt", std::string(kAbcMd5) + " f\r\n");
    r = Run({"verify", "none.txt"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err.rfind("不支持的算法类型。\n列表没有表明算法，32 位的哈希值可能是 ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("MD5，请用 -a 指定算法。\n"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

// 12. A list with broken lines: each is named with its place and reason,
// every other line is checked, the broken ones count as failed and the run
// fails at its end, even when every file matches.
TEST_F(CliTest, VerifyChecksEveryLineThatReads) {
    dir_.Write("d/a", "abc");
    dir_.Write("d/b", "abc");
    dir_.Write("d/l.md5", std::string(kAbcMd5) + "  a\nno-separator\n" + std::string(kAbcSha1) + "  x\n" +
                              "SHA1 (y) = " + std::string(kAbcSha1) + "\n" + std::string(kAbcMd5) + " *b\n");
    const CliResult r = Run({"verify", P("d/l.md5")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "a\t文件检查正确\nb\t文件检查正确\n");
    const std::string l = P("d/l.md5");
    EXPECT_EQ(r.err.rfind(l + ":2: 未知的文件格式。\n" + l + ":3: 无效的哈希值。\n" + l + ":4: 不支持的算法类型。\n", 0), 0u)
        << r.err;
    EXPECT_NE(r.err.find("检查结果：正确 2 个，不一致 0 个，失败 3 个\n"), std::string::npos) << r.err;
}

// 13. The list's algorithm from -a when neither its header nor its name
// says it, or from a hash length only one algorithm has; the list from
// standard input ("-"), its names taken in the working folder.
TEST_F(CliTest, VerifyAlgorithmAndStandardInput) {
    dir_.Write("d/f", "abc");
    dir_.Write("d/sha1.txt", std::string(kAbcSha1) + "  f\n");
    CliResult r = Run({"verify", P("d/sha1.txt")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "f\t文件检查正确\n");
    dir_.Write("d/md5.txt", std::string(kAbcMd5) + "  f\n");
    r = Run({"verify", P("d/md5.txt"), "--algorithm=MD5"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "f\t文件检查正确\n");
    // The wrong algorithm: every line is of another length.
    r = Run({"verify", "-a", "sha256", P("d/md5.txt")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, P("d/md5.txt") + ":1: 无效的哈希值。\n");

    test::CliOptions options;
    options.cwd = P("d");
    options.stdinPath = P("d/md5.txt");
    r = Run({"verify", "-a", "md5", "-"}, options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "f\t文件检查正确\n");
    dir_.Write("d/piped", std::string(kAbcSha1) + "  f\n" + std::string(kAbcSha1) + "  nothing-here\nbroken\n");
    options.stdinPath = P("d/piped");
    r = Run({"verify", "-"}, options);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("f\t文件检查正确\nnothing-here\t", 0), 0u) << r.out;
    EXPECT_EQ(r.err.rfind("标准输入:3: 未知的文件格式。\n", 0), 0u) << r.err;
}

// 14. --ignore-missing: files that do not exist are neither listed nor
// counted; a list of which nothing could be checked fails.
TEST_F(CliTest, VerifyIgnoringMissingFiles) {
    dir_.Write("d/here", "abc");
    dir_.Write("d/l.sha1", std::string(kAbcSha1) + "  gone\n" + std::string(kAbcSha1) + "  here\n");
    CliResult r = Run({"verify", "--ignore-missing", P("d/l.sha1")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "here\t文件检查正确\n");
    EXPECT_NE(r.err.find("检查结果：正确 1 个，不一致 0 个，失败 0 个\n"), std::string::npos) << r.err;
    r = Run({"verify", P("d/l.sha1")});
    EXPECT_EQ(r.exitCode, 1);
    dir_.Write("d/none.sha1", std::string(kAbcSha1) + "  gone\n");
    r = Run({"verify", "--ignore-missing", P("d/none.sha1")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "校验列表中的文件都不存在，没有检查任何文件。\n");
    EXPECT_TRUE(r.out.empty());
}

// A list that loads with no entry checks nothing, which is no success.
TEST_F(CliTest, VerifyOfAListWithoutFiles) {
    dir_.Write("empty.txt", "");
    dir_.Write("header.txt", "; Hash: SHA1\r\n\r\n");
    dir_.Write("comments.sfv", "; made by hand\n");
    dir_.Write("blank.md5", "\n  \n");
    for (const char* name : {"empty.txt", "header.txt", "comments.sfv", "blank.md5"}) {
        const CliResult r = Run({"verify", name});
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_EQ(r.err, "校验列表中没有文件。\n") << name;
        EXPECT_TRUE(r.out.empty()) << name;
    }
}

// --format: the bytes of each format, and the algorithms and list names it
// refuses because the list could not carry them or be read back.
TEST_F(CliTest, HashFormats) {
    dir_.Write("d/f", "abc");
    const std::string md5 = "900150983cd24fb0d6963f7d28e17f72";
    CliResult r = Run({"hash", "-a", "md5", "--format=sum", "d"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, md5 + "  f\n");
    r = Run({"hash", "-a", "md5", "--format", "bsd", "d"});
    EXPECT_EQ(r.out, "MD5 (f) = " + md5 + "\n");
    r = Run({"hash", "-a", "sha-256", "--format=bsd", "d"});
    EXPECT_EQ(r.out.rfind("SHA256 (f) = ba7816bf", 0), 0u) << r.out;
    r = Run({"hash", "-a", "crc32", "--format=sfv", "d"});
    EXPECT_EQ(r.out, "f " + std::string(kAbcCrc32) + "\n");
    r = Run({"hash", "-a", "md5", "--format=list", "d"});
    EXPECT_EQ(r.out, "; Hash: MD5\r\n\r\n" + std::string(kAbcMd5) + "\t\tf\r\n");
    // Files: no byte-order mark, paths relative to the list's folder, and
    // every one reads back.
    const struct {
        const char* algorithm;
        const char* format;
        const char* list;
        std::string bytes;
    } files[] = {
        {"md5", "sum", "d/MD5SUMS", md5 + "  f\n"},
        {"sha1", "sum", "d/l.SHA1", "a9993e364706816aba3e25717850c26c9cd0d89d  f\n"},
        {"md5", "bsd", "d/l.txt", "MD5 (f) = " + md5 + "\n"},
        {"crc32", "sfv", "d/l.sfv", "f " + std::string(kAbcCrc32) + "\n"},
        {"sha1", "list", "d/l.md5", std::string(kBom) + "; Hash: SHA1\r\n\r\n" + std::string(kAbcSha1) + "\t\tf\r\n"},
    };
    for (const auto& c : files) {
        r = Run({"hash", "-a", c.algorithm, std::string("--format=") + c.format, "-o", c.list, "d/f"});
        EXPECT_EQ(r.exitCode, 0) << c.list << r.err;
        EXPECT_EQ(test::ReadBytes(dir_ / c.list), c.bytes) << c.list;
        r = Run({"verify", c.list});
        EXPECT_EQ(r.exitCode, 0) << c.list << r.err;
        EXPECT_EQ(r.out, "f\t文件检查正确\n") << c.list;
        fs::remove(dir_ / c.list);
    }

    const struct {
        std::vector<std::string> args;
        std::string err;
    } refused[] = {
        {{"-a", "crc32", "--format=sum"}, "--format=sum 只支持 MD5、SHA1、SHA256、SHA384、SHA512。\n"},
        {{"-a", "md4", "--format=sum"}, "--format=sum 只支持 MD5、SHA1、SHA256、SHA384、SHA512。\n"},
        {{"-a", "115", "--format=bsd"}, "--format=bsd 不支持 115网盘。\n"},
        {{"-a", "md5", "--format=sfv"}, "--format=sfv 只支持 CRC32。\n"},
        {{"-a", "sha256", "--format=sum", "-o", "l.txt"},
         "--format=sum 的列表不记录算法，文件名须表明算法（如 *.sha256 或 SHA256SUMS）。\n"},
        {{"-a", "md5", "--format=sum", "-o", "l.sha1"},
         "--format=sum 的列表不记录算法，文件名须表明算法（如 *.md5 或 MD5SUMS）。\n"},
        {{"-a", "crc32", "--format=sfv", "-o", "l.txt"}, "--format=sfv 的列表文件名须以 .sfv 结尾，否则读不回来。\n"},
        {{"-a", "crc32", "--format=bsd", "-o", "l.SFV"}, "以 .sfv 结尾的列表文件只能用 --format=sfv 写出。\n"},
        {{"-a", "crc32", "-o", "l.sfv"}, "以 .sfv 结尾的列表文件只能用 --format=sfv 写出。\n"},
    };
    for (const auto& c : refused) {
        std::vector<std::string> args = {"hash"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("d");
        r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_FALSE(fs::exists(dir_ / "l.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "l.sfv"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"hash", "--format=md5", "d"}, {"hash", "d", "--format"}}) {
        r = Run(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find("用法："), std::string::npos) << r.err;
    }
    EXPECT_NE(Run({"hash", "--format=xml", "d"}).err.find("未知的列表格式：xml"), std::string::npos);
}

// 12. Ctrl+C stops the run as the stop command does: no list, exit 130.
TEST_F(CliTest, InterruptStopsWithoutWritingTheList) {
    {
        // A sparse file far too large to hash before the interrupt comes.
        fs::create_directories(dir_ / "big");
        test::MakeSparseFile(dir_ / "big/huge.bin", uint64_t{64} << 30);
    }
    dir_.Write("old.txt", "old list");
    test::CliOptions options;
    options.interruptAfterMs = 500;
    CliResult r = Run({"hash", "-o", "new.txt", "big"}, options);
    if (r.interruptFailed) GTEST_SKIP() << "no console to send the interrupt through (Wine without a terminal)";
    EXPECT_EQ(r.exitCode, 130) << "signal " << r.signal << "\n" << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "new.txt"));
    EXPECT_TRUE(r.out.empty());
    r = Run({"hash", "-o", "old.txt", "big"}, options);
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(test::ReadBytes(dir_ / "old.txt"), "old list");
}

// 13. Output is UTF-8 whatever the locale says.
TEST_F(CliTest, NamesAreUtf8InTheCLocale) {
    dir_.Write("d/校验.bin", "abc");
    test::CliOptions options;
    options.env = {{"LC_ALL", "C"}, {"LANG", "C"}};
    const CliResult r = Run({"hash", "-a", "crc32", "d"}, options);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "; Hash: CRC32\r\n\r\n" + std::string(kAbcCrc32) + "\t\t校验.bin\r\n");
}

}  // namespace
}  // namespace qm
