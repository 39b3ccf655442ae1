// The main window while a large tree is listed and hashed: does the GUI
// thread keep coming back to its event loop?
//
// A plain program, not a test: it prints figures. It makes a tree of small
// files (200,000 by default, in 1,000 directories), starts a new task over
// it from the real main window (the new-task dialog answered in code, no
// chime) on the offscreen platform, and lets a 1 ms timer note each time the
// event loop gets round to it. The longest gap between two of those notes is
// the longest time the window could neither repaint nor answer input. The
// gaps are reported per phase of the task, with the slowest ones named.
//
//   build/bin/frame_bench [file count] [tree directory]
//
// The tree is made in the temporary directory (or the directory given) and
// removed afterwards. Its files were just written, so they come from the page
// cache: the hashing runs as fast as it can, which is the hardest case for
// the window (most rows finish between two ticks).
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_tree.h"
#include "desktop/command_ids.h"
#include "desktop_qt/main_frame.h"
#include "common/app_info.h"
#include "common/user_prompts.h"
#include "common/utf.h"
#include "document/task_paths.h"
#include "engines/hash_object.h"
#include "engines/register_engines.h"
#include "desktop_qt/gui_resources.h"
#include "desktop_qt/icon_cache.h"
#include "desktop_qt/quorvia_view.h"

namespace {

namespace fs = std::filesystem;

using qm::bench::kTreeDirectories;
using qm::bench::MakeTree;

// A box during the run would be a fault of the bench's own making; it is
// printed and answered as if closed.
class PrintingPrompts : public qm::CQmUserPrompts {
public:
    int MessageBox(const qm::QmMessageBoxRequest& request) override {
        std::fprintf(stderr, "box: %s\n", qm::Utf16ToUtf8(request.text).c_str());
        return qm::IDCANCEL;
    }
    bool FileDialog(const qm::QmFileDialogRequest&, qm::QmFileDialogResult&) override { return false; }
    bool FolderDialog(qm::QmWindow, std::u16string_view, std::u16string&) override { return false; }
    void SetWaitCursor(bool) override {}
};

enum Phase { kIdleBefore, kEnumerating, kHashing, kIdleAfter, kPhaseCount };
const char* const kPhaseNames[kPhaseCount] = {"before the task", "enumerating", "hashing", "after the task"};

// Times every event handled at the outermost level, so that a long gap can
// be put down to the handler that made it.
class TimingApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --depth_;
            return handled;
        }
        QElapsedTimer timer;
        timer.start();
        const int type = event->type();
        const bool handled = QApplication::notify(receiver, event);
        const qint64 spent = timer.elapsed();
        --depth_;
        if (spent > longest_) {
            longest_ = spent;
            longestWhat_ = std::string(receiver->metaObject()->className()) + " event " + std::to_string(type);
        }
        return handled;
    }

    qint64 longest_ = 0;
    std::string longestWhat_;

private:
    int depth_ = 0;
};

struct GapRecord {
    double longest = 0;
    double total = 0;
    size_t samples = 0;
    size_t over50 = 0;
    size_t over100 = 0;
};

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const QString config = QDir::tempPath() + "/quorvia-frame-bench-config";
    setenv("XDG_CONFIG_HOME", config.toLocal8Bit().constData(), 1);
    TimingApplication app(argc, argv);

    const size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 200000;
    const fs::path root = (argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path()) / "quorvia-frame-bench-tree";
    fs::remove_all(root);
    QElapsedTimer clock;
    clock.start();
    MakeTree(root, count);
    std::printf("tree of %zu files in %zu directories made in %.1f s\n", count, kTreeDirectories,
                double(clock.elapsed()) / 1000.0);

    qm::GetAppInfo().SetNames(u"栎弦文件校验工具", u"Quorvia 2.0", nullptr);
    qm::GetAppInfo().SetTitle(u"栎弦文件校验工具");
    qm::InitGuiResources();
    PrintingPrompts prompts;
    qm::SetUserPrompts(&prompts);
    qm::RegisterBuiltInEngines();
    qm::CreateIconList();

    GapRecord gaps[kPhaseCount];
    qint64 phaseStart[kPhaseCount] = {};
    int exitCode = 0;
    {
        qm::CMainFrameOptions options;
        options.completionSound = [] {};
        const std::u16string treePath = qm::PathFromOs(root.string());
        options.newTaskDialog = [treePath](qm::CMainFrame&, const std::vector<std::u16string>&,
                                           qm::QmNewTaskChoice& choice) {
            const std::vector<std::u16string> paths = {treePath};
            const qm::QmTaskPathCheck check = qm::CheckTaskPaths(paths);
            choice.algorithmId = qm::QM_HASH_SHA1;
            choice.recurseSubdirectories = true;
            choice.chosenPaths = check.chosen;
            choice.commonRoot = check.commonRoot;
            return check.status == qm::QmTaskPathStatus::Ok;
        };
        qm::CMainFrame frame(std::move(options));
        frame.resize(1280, 800);
        frame.show();

        Phase phase = kIdleBefore;
        bool started = false;
        qint64 last = clock.elapsed();
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        heartbeat.setInterval(1);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            const double gap = double(now - last);
            last = now;
            GapRecord& record = gaps[phase];
            record.longest = std::max(record.longest, gap);
            record.total += gap;
            ++record.samples;
            record.over50 += gap > 50 ? 1 : 0;
            record.over100 += gap > 100 ? 1 : 0;

            const auto runnerPhase = frame.Logic().GetRunner().GetPhase();
            Phase next = phase;
            if (runnerPhase == qm::CQmTaskRunner::Phase::Enumerating) next = kEnumerating;
            if (runnerPhase == qm::CQmTaskRunner::Phase::Hashing) next = kHashing;
            if (started && !frame.Logic().IsRunning()) next = kIdleAfter;
            if (next != phase) {
                phase = next;
                phaseStart[phase] = now;
                if (phase == kIdleAfter) {
                    // A second of the finished window, then the end.
                    QTimer::singleShot(1000, &app, [] { QCoreApplication::exit(0); });
                }
            }
        });
        heartbeat.start();
        QTimer::singleShot(200, &frame, [&] {
            phaseStart[kEnumerating] = clock.elapsed();
            started = true;
            frame.Action(qm::ID_FILE_NEW)->trigger();
        });
        exitCode = app.exec();

        std::printf("enumeration %.2f s, hashing %.2f s, %d rows listed\n",
                    double(phaseStart[kHashing] - phaseStart[kEnumerating]) / 1000.0,
                    double(phaseStart[kIdleAfter] - phaseStart[kHashing]) / 1000.0, frame.View()->GetItemCount());
        for (int pane = 1; pane < 3; ++pane) {
            std::printf("pane %d: %s\n", pane, qm::Utf16ToUtf8(frame.PaneText(pane).toStdU16String()).c_str());
        }
    }
    std::printf("%-16s %9s %9s %9s %9s\n", "phase", "longest", "mean", ">50 ms", ">100 ms");
    for (int phase = kEnumerating; phase < kPhaseCount; ++phase) {
        const GapRecord& record = gaps[phase];
        std::printf("%-16s %6.0f ms %6.1f ms %9zu %9zu\n", kPhaseNames[phase], record.longest,
                    record.samples ? record.total / double(record.samples) : 0.0, record.over50, record.over100);
    }
    std::printf("slowest single event: %lld ms (%s)\n", static_cast<long long>(app.longest_),
                app.longestWhat_.c_str());
    qm::SetUserPrompts(nullptr);
    qm::DestroyIconList();
    fs::remove_all(root);
    QDir(config).removeRecursively();
    return exitCode;
}
