// quorvia-cli: the command-line front end. It runs the desktop program's code
// without a window: a new task over files and directories, the verification
// of a saved list, and the list of algorithms.
#include <clocale>
#include <span>
#include <string>

#include "cli/cli_commands.h"
#include "cli/cli_events.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/console.h"
#include "common/app_info.h"
#include "common/error_record.h"
#include "common/text_format.h"
#include "version.h"

namespace qm::cli {
namespace {

int Run(std::span<const std::u16string> args) {
    Options options;
    std::u16string error;
    if (!ParseOptions(args, options, error)) {
        PrintErr(error + u"\n" + UsageText());
        return kExitUsage;
    }
    switch (options.command) {
    case Command::Help:
        PrintOut(UsageText());
        return kExitOk;
    case Command::Version:
        PrintOut(FormatText(u"%s %s\n", QM_PRODUCT_NAME_U16, QM_VERSION_TEXT_U16));
        return kExitOk;
    case Command::Algorithms:
        return RunAlgorithms();
    case Command::Hash:
        return RunHash(options);
    case Command::Verify:
        return RunVerify(options);
    case Command::None:
        break;
    }
    PrintErr(UsageText());
    return kExitUsage;
}

// Output that did not arrive makes the run a failure whatever it found;
// the reason goes to standard error where that still works.
int Finish(int exitCode) {
    if (!OutputFailed()) return exitCode;
    std::u16string reason;
    GetSystemErrorMessage(OutputErrorCode(), reason);
    PrintErr(u"写入标准输出失败:" + reason + u"\n");
    return kExitUsage;
}

}  // namespace

// The system's entry point (console.cpp) has made sure of the standard
// streams and taken the arguments.
int Main(std::span<const std::u16string> args) {
    // Before the first thread starts, so a stop request finds its handler on
    // whichever thread takes it.
    InstallStopHandlers();
    // Texts of the system (error messages) in the user's language; our own
    // output is UTF-8 whatever the locale.
    std::setlocale(LC_ALL, "");
    // The desktop program's identity, so both share the saved algorithm.
    GetAppInfo().SetNames(QM_PRODUCT_NAME_U16, u"Quorvia 2.0", nullptr);
    GetAppInfo().SetTitle(QM_PRODUCT_NAME_U16);
    return Finish(Run(args));
}

}  // namespace qm::cli
