// Parsing of quorvia-cli's command line (see cli_options.h).
#include "cli/cli_options.h"

#include <algorithm>
#include <string_view>

#include "cli/console.h"
#include "common/text_format.h"

namespace qm::cli {

namespace {

// An option with a value: "-x VALUE", "-xVALUE", "--long VALUE",
// "--long=VALUE". 1 when `args[i]` is that option (i then stands on its
// last argument), 0 when it is another, -1 when its value is missing.
int TakeValue(std::span<const std::u16string> args, size_t& i, std::u16string_view shortName,
              std::u16string_view longName, std::u16string& value, std::u16string& error) {
    const std::u16string_view arg = args[i];
    std::u16string_view rest;
    if (arg == shortName || arg == longName) {
        if (i + 1 >= args.size()) {
            error = FormatText(u"选项 %s 缺少参数。", ArgumentText(arg));
            return -1;
        }
        rest = args[++i];
    } else if (arg.size() > shortName.size() && arg.substr(0, shortName.size()) == shortName && arg[1] != u'-') {
        rest = arg.substr(shortName.size());
    } else if (arg.size() > longName.size() + 1 && arg.substr(0, longName.size()) == longName &&
               arg[longName.size()] == u'=') {
        rest = arg.substr(longName.size() + 1);
    } else {
        return 0;
    }
    value = rest;
    return 1;
}

// -j N / --jobs=N: 1 when taken, 0 when `args[i]` is another option, -1 on
// a missing or bad value.
int TakeJobs(std::span<const std::u16string> args, size_t& i, Options& options, std::u16string& error) {
    std::u16string value;
    const int taken = TakeValue(args, i, u"-j", u"--jobs", value, error);
    if (taken <= 0) return taken;
    uint32_t jobs = 0;
    bool valid = !value.empty() && value.size() <= 3;
    for (const char16_t c : value) {
        valid = valid && c >= u'0' && c <= u'9';
        if (valid) jobs = jobs * 10 + static_cast<uint32_t>(c - u'0');
    }
    if (!valid || jobs == 0 || jobs > kMaxJobs) {
        error = FormatText(u"无效的并行数：%s（应为 1 到 %u 之间的整数）", ArgumentText(value), kMaxJobs);
        return -1;
    }
    options.jobs = jobs;
    return 1;
}

bool ParseHash(std::span<const std::u16string> args, Options& options, std::u16string& error) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::u16string_view arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != u'-' || arg == u"-") {
            options.paths.push_back(PathArgument(arg));
            continue;
        }
        if (arg == u"--") {
            optionsEnded = true;
            continue;
        }
        int taken = TakeValue(args, i, u"-a", u"--algorithm", options.algorithm, error);
        if (taken > 0) options.hasAlgorithm = true;
        if (taken == 0) {
            taken = TakeValue(args, i, u"-o", u"--output", options.output, error);
            if (taken > 0) options.hasOutput = true;
        }
        if (taken == 0) taken = TakeJobs(args, i, options, error);
        if (taken < 0) return false;
        if (taken > 0) continue;
        if (arg == u"--format" || arg.substr(0, 9) == u"--format=") {
            std::u16string_view value;
            if (arg == u"--format") {
                if (i + 1 >= args.size()) {
                    error = u"选项 --format 缺少参数。";
                    return false;
                }
                value = args[++i];
            } else {
                value = arg.substr(9);
            }
            if (value == u"list") {
                options.format = ListFormat::List;
            } else if (value == u"sum") {
                options.format = ListFormat::Sum;
            } else if (value == u"bsd") {
                options.format = ListFormat::Bsd;
            } else if (value == u"sfv") {
                options.format = ListFormat::Sfv;
            } else {
                error = FormatText(u"未知的列表格式：%s（可用 list、sum、bsd、sfv）", ArgumentText(value));
                return false;
            }
            continue;
        }
        if (arg == u"--no-recurse") {
            options.recurse = false;
            continue;
        }
        error = FormatText(u"未知的选项：%s", ArgumentText(arg));
        return false;
    }
    if (options.hasOutput) options.output = PathArgument(options.output);
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

// verify [-a NAME] [--ignore-missing] [--] LIST: "-" is standard input.
bool ParseVerify(std::span<const std::u16string> args, Options& options, std::u16string& error) {
    bool optionsEnded = false;
    bool hasList = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::u16string_view arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != u'-') {
            if (hasList) {
                error = u"verify 需要且只需要一个列表文件。";
                return false;
            }
            hasList = true;
            options.listFromStdin = !optionsEnded && arg == u"-";
            options.list = options.listFromStdin ? std::u16string(arg) : PathArgument(arg);
            continue;
        }
        if (arg == u"--") {
            optionsEnded = true;
        } else if (arg == u"--ignore-missing") {
            options.ignoreMissing = true;
        } else if (arg == u"-a" || arg == u"--algorithm") {
            if (i + 1 >= args.size()) {
                error = FormatText(u"选项 %s 缺少参数。", ArgumentText(arg));
                return false;
            }
            options.algorithm = args[++i];
            options.hasAlgorithm = true;
        } else if (arg.substr(0, 2) == u"-a") {
            options.algorithm = arg.substr(2);
            options.hasAlgorithm = true;
        } else if (arg.substr(0, 12) == u"--algorithm=") {
            options.algorithm = arg.substr(12);
            options.hasAlgorithm = true;
        } else {
            const int taken = TakeJobs(args, i, options, error);
            if (taken < 0) return false;
            if (taken == 0) {
                error = FormatText(u"未知的选项：%s", ArgumentText(arg));
                return false;
            }
        }
    }
    if (!hasList) {
        error = u"verify 需要且只需要一个列表文件。";
        return false;
    }
    if (options.list.empty()) {
        error = u"列表文件名不能为空。";
        return false;
    }
    return true;
}

}  // namespace

bool ParseOptions(std::span<const std::u16string> args, Options& options, std::u16string& error) {
    options = Options{};
    error.clear();
    if (args.empty()) {
        error = u"缺少命令。";
        return false;
    }
    const std::u16string_view command = args[0];
    const std::span<const std::u16string> rest = args.subspan(1);
    if (command == u"--help" || command == u"-h" || command == u"help") {
        options.command = Command::Help;
        return true;
    }
    if (command == u"--version" || command == u"-V") {
        options.command = Command::Version;
        return true;
    }
    if (command == u"hash") {
        options.command = Command::Hash;
        return ParseHash(rest, options, error);
    }
    if (command == u"verify") {
        options.command = Command::Verify;
        return ParseVerify(rest, options, error);
    }
    if (command == u"algorithms") {
        options.command = Command::Algorithms;
        if (!rest.empty()) {
            error = u"algorithms 不接受参数。";
            return false;
        }
        return true;
    }
    error = FormatText(u"未知的命令：%s", ArgumentText(command));
    return false;
}

std::u16string UsageText() {
    return u"用法：\n"
           u"  quorvia-cli hash [-a 算法] [--format=list|sum|bsd|sfv] [--no-recurse] [-o 列表文件] [-j 并行数] 路径...\n"
           u"  quorvia-cli verify [-a 算法] [--ignore-missing] [-j 并行数] 列表文件|-\n"
           u"  quorvia-cli algorithms\n"
           u"  quorvia-cli --help | --version\n";
}

}  // namespace qm::cli
