// The file-icon cache: which paths share an image, and that images are made
// only where Qt allows it while another thread hands out indexes.
#include "desktop_qt/icon_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace qm {
namespace {

std::u16string U16(const std::filesystem::path& path) { return QString::fromStdString(path.string()).toStdU16String(); }

TEST(IconCacheTest, TypesShareAnImageAndOwnIconFilesGetTheirOwn) {
    CQmIconCache cache;
    const int32_t txt = cache.GetIconIndexForFile(u"/a/one.txt");
    EXPECT_EQ(cache.GetIconIndexForFile(u"/b/TWO.TXT"), txt);
    const int32_t exe = cache.GetIconIndexForFile(u"/a/one.exe");
    EXPECT_NE(cache.GetIconIndexForFile(u"/a/two.exe"), exe);
    EXPECT_EQ(cache.GetIconIndexForFile(u"/A/ONE.EXE"), exe);  // keys are lower-cased
    EXPECT_NE(exe, txt);
    EXPECT_NE(cache.GetIconIndexForFile(u"/a/noextension"), txt);
    EXPECT_EQ(cache.GetIconCount(), 4);  // .txt, two .exe files, no extension
}

TEST(IconCacheTest, DirectoriesAreKeyedByPathAndEveryIndexHasAnImage) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "x.txt");  // a directory whose name looks like a file type
    CQmIconCache cache;
    const int32_t folder = cache.GetFileIconIndex(U16(dir.path()));
    const int32_t namedLikeFile = cache.GetFileIconIndex(U16(dir / "x.txt"));
    const int32_t file = cache.GetIconIndexForFile(u"/elsewhere/y.txt");
    EXPECT_NE(folder, namedLikeFile);
    EXPECT_NE(namedLikeFile, file);
    for (int32_t i = 0; i < cache.GetIconCount(); ++i) EXPECT_FALSE(cache.GetIcon(i).isNull()) << i;
    EXPECT_TRUE(cache.GetIcon(cache.GetIconCount()).isNull());
    EXPECT_TRUE(cache.GetIcon(-1).isNull());
}

TEST(IconCacheTest, DesktopFileGetsAnImageOfItsOwn) {
    test::TempDir dir;
    dir.Write("a.desktop", "[Desktop Entry]\nName=A\nIcon=folder\n");
    dir.Write("b.desktop", "[Desktop Entry]\nName=B\n");
    CQmIconCache cache;
    const int32_t a = cache.GetFileIconIndex(U16(dir / "a.desktop"));
    const int32_t b = cache.GetFileIconIndex(U16(dir / "b.desktop"));
    EXPECT_NE(a, b);
    EXPECT_FALSE(cache.GetIcon(a).isNull());
    EXPECT_FALSE(cache.GetIcon(b).isNull());  // no Icon entry: its type's image
}

TEST(IconCacheTest, IndexesHandedOutOnAnotherThreadWhileTheGuiThreadDraws) {
    CQmIconCache cache;
    const std::vector<std::u16string> types = {u".txt", u".iso", u".png", u".md5", u".bin", u".c", u".h", u""};
    std::vector<int32_t> fromWorker(2000);
    std::thread worker([&] {
        for (size_t i = 0; i < fromWorker.size(); ++i) {
            fromWorker[i] = cache.GetIconIndexForFile(u"/t/f" + std::u16string(1, u'a' + i % 26) + types[i % types.size()]);
        }
    });
    for (int round = 0; round < 200; ++round) {
        for (int32_t i = 0; i < cache.GetIconCount(); ++i) cache.GetIcon(i);
    }
    worker.join();
    EXPECT_EQ(cache.GetIconCount(), static_cast<int32_t>(types.size()));
    for (size_t i = types.size(); i < fromWorker.size(); ++i) EXPECT_EQ(fromWorker[i], fromWorker[i % types.size()]);
}

}  // namespace
}  // namespace qm
