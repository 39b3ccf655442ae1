// quorvia-cli: the command-line front end. It runs the desktop program's code
// without a window: a new task over files and directories, the verification
// of a saved list, and the list of algorithms.
#include <clocale>
#include <span>
#include <string>

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "common/app_info.h"
#include "common/text_format.h"
#include "version.h"

namespace qm::cli {
namespace {

int Run(std::span<const char* const> args) {
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

}  // namespace
}  // namespace qm::cli

int main(int argc, char** argv) {
    // Texts of the system (error messages) in the user's language; our own
    // output is UTF-8 whatever the locale.
    std::setlocale(LC_ALL, "");
    // The desktop program's identity, so both share the saved algorithm.
    qm::GetAppInfo().SetNames(QM_PRODUCT_NAME_U16, u"Quorvia 2.0", nullptr);
    qm::GetAppInfo().SetTitle(QM_PRODUCT_NAME_U16);
    return qm::cli::Run(std::span<const char* const>(argv + 1, argc > 0 ? argc - 1 : 0));
}
