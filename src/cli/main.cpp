// quorvia-cli: the command-line front end. It runs the desktop program's code
// without a window: a new task over files and directories, the verification
// of a saved list, and the list of algorithms.
#include <clocale>
#include <span>
#include <string>

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "common/text_format.h"
#include "common/utf.h"
#include "version.h"

namespace qm::cli {
namespace {

int Run(std::span<const char* const> args) {
    Options options;
    std::u16string error;
    if (!ParseOptions(args, options, error)) {
        PrintErr(error + u"\n" + UsageText());
        return 2;
    }
    switch (options.command) {
    case Command::Help:
        PrintOut(UsageText());
        return 0;
    case Command::Version:
        PrintOut(FormatText(u"%s %s\n", QM_PRODUCT_NAME_U16, QM_VERSION_TEXT_U16));
        return 0;
    default:
        PrintErr(u"该命令尚不可用。\n");
        return 2;
    }
}

}  // namespace
}  // namespace qm::cli

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    return qm::cli::Run(std::span<const char* const>(argv + 1, argc > 0 ? argc - 1 : 0));
}
