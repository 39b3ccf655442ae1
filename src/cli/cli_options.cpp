// Parsing of quorvia-cli's command line (see cli_options.h).
#include "cli/cli_options.h"

#include <algorithm>
#include <string_view>

#include "common/text_format.h"
#include "common/utf.h"

namespace qm::cli {

namespace {

bool ParseHash(std::span<const char* const> args, Options& options, std::u16string& error) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            options.paths.push_back(PathFromOs(arg));
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // An option with a value: "-a NAME", "-aNAME", "--algorithm NAME",
        // "--algorithm=NAME"; the same for -o / --output.
        auto takeValue = [&](std::string_view shortName, std::string_view longName,
                             std::u16string& value, bool& present) -> int {
            std::string_view rest;
            if (arg == shortName || arg == longName) {
                if (i + 1 >= args.size()) {
                    error = FormatText(u"选项 %s 缺少参数。", Utf8ToUtf16Lossy(arg));
                    return -1;
                }
                rest = args[++i];
            } else if (arg.size() > shortName.size() && arg.substr(0, shortName.size()) == shortName &&
                       arg[1] != '-') {
                rest = arg.substr(shortName.size());
            } else if (arg.size() > longName.size() + 1 && arg.substr(0, longName.size()) == longName &&
                       arg[longName.size()] == '=') {
                rest = arg.substr(longName.size() + 1);
            } else {
                return 0;
            }
            value = PathFromOs(rest);
            present = true;
            return 1;
        };
        int taken = takeValue("-a", "--algorithm", options.algorithm, options.hasAlgorithm);
        if (taken == 0) taken = takeValue("-o", "--output", options.output, options.hasOutput);
        if (taken < 0) return false;
        if (taken > 0) continue;
        if (arg == "--format" || arg.substr(0, 9) == "--format=") {
            std::string_view value;
            if (arg == "--format") {
                if (i + 1 >= args.size()) {
                    error = u"选项 --format 缺少参数。";
                    return false;
                }
                value = args[++i];
            } else {
                value = arg.substr(9);
            }
            if (value == "list") {
                options.format = ListFormat::List;
            } else if (value == "sum") {
                options.format = ListFormat::Sum;
            } else if (value == "bsd") {
                options.format = ListFormat::Bsd;
            } else if (value == "sfv") {
                options.format = ListFormat::Sfv;
            } else {
                error = FormatText(u"未知的列表格式：%s（可用 list、sum、bsd、sfv）", Utf8ToUtf16Lossy(value));
                return false;
            }
            continue;
        }
        if (arg == "--no-recurse") {
            options.recurse = false;
            continue;
        }
        error = FormatText(u"未知的选项：%s", Utf8ToUtf16Lossy(arg));
        return false;
    }
    if (options.hasOutput && options.output.empty()) {
        error = u"列表文件名不能为空。";
        return false;
    }
    if (options.paths.empty()) {
        error = u"请给出需要计算校验的文件或目录。";
        return false;
    }
    // An empty argument (an unset shell variable) would otherwise stand for
    // the working directory and hash all of it.
    if (std::find(options.paths.begin(), options.paths.end(), std::u16string()) != options.paths.end()) {
        error = u"文件或目录的路径不能为空。";
        return false;
    }
    return true;
}

}  // namespace

bool ParseOptions(std::span<const char* const> args, Options& options, std::u16string& error) {
    options = Options{};
    error.clear();
    if (args.empty()) {
        error = u"缺少命令。";
        return false;
    }
    const std::string_view command = args[0];
    const std::span<const char* const> rest = args.subspan(1);
    if (command == "--help" || command == "-h" || command == "help") {
        options.command = Command::Help;
        return true;
    }
    if (command == "--version" || command == "-V") {
        options.command = Command::Version;
        return true;
    }
    if (command == "hash") {
        options.command = Command::Hash;
        return ParseHash(rest, options, error);
    }
    if (command == "verify") {
        options.command = Command::Verify;
        size_t first = 0;
        if (!rest.empty() && std::string_view(rest[0]) == "--") first = 1;
        if (rest.size() != first + 1 || (first == 0 && rest[0][0] == '-' && rest[0][1] != '\0')) {
            error = u"verify 需要且只需要一个列表文件。";
            return false;
        }
        options.list = PathFromOs(rest[first]);
        if (options.list.empty()) {
            error = u"列表文件名不能为空。";
            return false;
        }
        return true;
    }
    if (command == "algorithms") {
        options.command = Command::Algorithms;
        if (!rest.empty()) {
            error = u"algorithms 不接受参数。";
            return false;
        }
        return true;
    }
    error = FormatText(u"未知的命令：%s", Utf8ToUtf16Lossy(command));
    return false;
}

std::u16string UsageText() {
    return u"用法：\n"
           u"  quorvia-cli hash [-a 算法] [--format=list|sum|bsd|sfv] [--no-recurse] [-o 列表文件] 路径...\n"
           u"  quorvia-cli verify 列表文件\n"
           u"  quorvia-cli algorithms\n"
           u"  quorvia-cli --help | --version\n";
}

}  // namespace qm::cli
