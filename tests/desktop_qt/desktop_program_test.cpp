// The desktop program's shutdown, out of process: a child process runs the
// same start-up, event loop and shutdown as `quorvia` (RunDesktopProgram),
// starts a task over a large tree, closes the window while it hashes and
// answers the close question with OK, then leaves through exit(), so the
// process-wide document and icon cache are destroyed as in the real
// program. The parent checks that the child ended on its own with exit code
// 1, that no sanitizer reported anything, and that nothing was written
// into the tree.
#include "desktop_qt/desktop_program.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "desktop/command_ids.h"
#include "common/utf.h"
#include "document/task_paths.h"
#include "desktop/fake_prompts.h"
#include "support/temp_dir.h"

extern char** environ;

namespace qm {
namespace {

namespace fs = std::filesystem;

constexpr char kTreeVariable[] = "QM_DESKTOP_CHILD_TREE";
constexpr char kChildMarker[] = "QM_CHILD close-question-asked=";

// The child's side; skipped unless the parent started this process for it.
TEST(DesktopProgramChild, ClosesWhileHashing) {
    const char* tree = std::getenv(kTreeVariable);
    if (!tree) GTEST_SKIP() << "runs only in the child process of the test below";
    const std::u16string treePath = PathFromOs(tree);

    test::FakePrompts prompts;
    prompts.boxAnswers = {IDOK};
    QmDesktopHooks hooks;
    hooks.frame.completionSound = [] {};
    hooks.frame.newTaskDialog = [treePath](CMainFrame&, const std::vector<std::u16string>&, QmNewTaskChoice& choice) {
        const std::vector<std::u16string> paths = {treePath};
        const QmTaskPathCheck check = CheckTaskPaths(paths);
        choice.algorithmId = 5;
        choice.recurseSubdirectories = true;
        choice.chosenPaths = check.chosen;
        choice.commonRoot = check.commonRoot;
        return check.status == QmTaskPathStatus::Ok;
    };
    hooks.started = [](CMainFrame& frame) {
        QTimer::singleShot(0, &frame, [&frame] {
            frame.Action(ID_FILE_NEW)->trigger();
            // Close as soon as the hashing run is on.
            auto* watch = new QTimer(&frame);
            QObject::connect(watch, &QTimer::timeout, &frame, [&frame, watch] {
                if (frame.Logic().GetRunner().GetPhase() != CQmTaskRunner::Phase::Hashing) return;
                watch->stop();
                frame.close();
            });
            watch->start(1);
        });
    };
    const int exitCode = RunDesktopProgram(*qApp, {}, std::move(hooks));
    const bool asked = prompts.boxes.size() == 1 && prompts.boxes[0].text == u"文件还在处理中，是否不保存直接退出?";
    std::fprintf(stderr, "%s%d\n", kChildMarker, asked ? 1 : 0);
    std::fflush(stderr);
    // As main() returns: static destructors run now.
    std::exit(exitCode);
}

// Waits for `pid` to end, at most `timeoutMs`; its wait status, or -1.
int WaitForChild(pid_t pid, int timeoutMs) {
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd entry{pidfd, POLLIN, 0};
        const int ready = poll(&entry, 1, timeoutMs);
        close(pidfd);
        if (ready <= 0) {
            kill(pid, SIGKILL);
        }
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return status;
}

TEST(DesktopProgramTest, ClosingWhileHashingEndsTheProcessCleanlyWithExitCode1) {
    test::TempDir dir;
    const fs::path tree = dir / "tree";
    fs::create_directories(tree);
    for (int i = 0; i < 8; ++i) {
        const fs::path file = tree / ("big" + std::to_string(i));
        { std::ofstream touch(file); }
        fs::resize_file(file, uint64_t{512} << 20);  // sparse: costs no disk
    }
    const std::string errPath = (dir / "stderr.txt").string();

    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
    environment.push_back(std::string(kTreeVariable) + "=" + tree.string());
    environment.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=DesktopProgramChild.*";
    char* argv[] = {self.data(), filter.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    const int status = WaitForChild(pid, 300'000);
    const std::string errors = test::ReadBytes(errPath);
    ASSERT_TRUE(WIFEXITED(status)) << "the child did not end on its own (status " << status << ")\n" << errors;
    EXPECT_EQ(WEXITSTATUS(status), 1) << errors;
    EXPECT_NE(errors.find(std::string(kChildMarker) + "1"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("runtime error:"), std::string::npos) << errors;
    size_t entries = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(tree)) {
        EXPECT_TRUE(entry.path().filename().string().starts_with("big")) << entry.path();
        ++entries;
    }
    EXPECT_EQ(entries, 8u) << "nothing is written into the tree";
}

}  // namespace
}  // namespace qm
