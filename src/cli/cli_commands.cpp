// The commands of quorvia-cli (see cli_commands.h). They drive the same core
// as the desktop program: the new-task checks, the task runner over the
// process-wide document, the list file reader and writer.
#include "cli/cli_commands.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "cli/cli_events.h"
#include "cli/cli_output.h"
#include "cli/console.h"
#include "common/error_record.h"
#include "common/os/path_rules.h"
#include "common/path_util.h"
#include "common/string_util.h"
#include "common/system_info.h"
#include "common/text_format.h"
#include "common/utf.h"
#include "common/encoding.h"
#include "document/hash_list.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/row_order.h"
#include "document/task_texts.h"
#include "document/task_paths.h"
#include "document/text_file.h"
#include "document/verify_summary.h"
#include "engines/hash_catalog.h"
#include "engines/hash_text.h"
#include "engines/register_engines.h"
#include "pipeline/task_runner.h"

namespace qm::cli {

namespace {

std::u16string AlgorithmNames() {
    std::u16string names;
    const CQmHashCatalog& catalog = GetHashCatalog();
    for (int i = 0; i < catalog.GetCount(); ++i) {
        names += catalog.GetAt(i)->name;
        names += u'\n';
    }
    return names;
}

// A catalogue name, ignoring case and '-' ("sha-256" is SHA256); "115" also
// names the 115网盘 link hash. 0 when the catalogue has no such algorithm.
int32_t ResolveAlgorithm(std::u16string_view given) {
    std::u16string name;
    for (char16_t c : given) {
        if (c != u'-') name.push_back(c);
    }
    const CQmHashCatalog& catalog = GetHashCatalog();
    if (name.empty()) return QM_HASH_NONE;
    if (name == u"115" && catalog.Contains(QM_HASH_115)) return QM_HASH_115;
    return catalog.FindByName(name);
}

void PrintLastError() { PrintErr(GetLastErrorText() + u"\n"); }

// Puts the document's items into the order the list view shows after a new
// task, as the desktop program does before it starts hashing.
void OrderDocumentForDisplay(CQmQuorviaDoc& doc) {
    const std::vector<CQmQuorviaItem*> items = doc.GetItems();
    std::vector<std::u16string_view> paths;
    paths.reserve(items.size());
    for (const CQmQuorviaItem* item : items) paths.emplace_back(item->GetPath());
    const std::vector<size_t> order = OrderPathsForDisplay(paths);
    bool moved = false;
    for (size_t i = 0; i < order.size() && !moved; ++i) moved = order[i] != i;
    if (!moved) return;
    std::vector<CQmQuorviaItem*> ordered;
    ordered.reserve(items.size());
    for (size_t index : order) ordered.push_back(items[index]);
    doc.ReplaceItems(ordered);
}

// Takes out of a new task's items each file reached a second time through
// overlapping inputs ("sub" and "sub/a.txt"), keeping its first place, and
// the list the task is about to write (`ownList`, absolute; empty: none):
// hashing a folder again must not put its old list, with the digest it had
// before it was rewritten, into the new one.
// `mayRepeat` false: no input lies in or equals another, so no file can have
// been reached twice and only the own list is looked for.
void DropRepeatsAndOwnList(CQmQuorviaDoc& doc, std::u16string_view ownList, bool mayRepeat) {
    const std::vector<CQmQuorviaItem*> items = doc.GetItems();
    std::unordered_set<std::u16string_view> seen;
    if (mayRepeat) seen.reserve(items.size());
    std::vector<const CQmQuorviaItem*> dropped;
    for (const CQmQuorviaItem* item : items) {
        const std::u16string_view path = item->GetPath();
        if ((mayRepeat && !seen.insert(path).second) || (!ownList.empty() && path == ownList)) dropped.push_back(item);
    }
    if (!dropped.empty()) doc.RemoveItems(dropped);
}

// Whether one input is another or lies below it, as far as the text tells
// (a folder reached again through a link has other names, which are no
// repeats). Errs towards yes: a shared beginning of names counts.
bool InputsMayRepeat(const std::vector<TaskInput>& inputs) {
    for (size_t i = 0; i < inputs.size(); ++i) {
        for (size_t j = 0; j < inputs.size(); ++j) {
            const std::u16string_view outer = inputs[i].path, inner = inputs[j].path;
            if (i != j && inner.size() >= outer.size() && os::PathTextEqual(inner.substr(0, outer.size()), outer)) {
                return true;
            }
        }
    }
    return false;
}

// Runs the task the runner has started until it is over, redrawing the
// progress line once a second on a terminal. Returns false when Ctrl+C
// stopped it.
bool RunToEnd(CQmTaskRunner& runner, EventLoop& loop, uint64_t startTick, bool orderAfterEnumeration,
              std::u16string_view ownList = {}, bool inputsMayRepeat = true) {
    ProgressLine progress;
    CQmQuorviaDoc& doc = GetQuorviaDoc();
    uint64_t lastBytes = 0;
    uint64_t nextTick = startTick + 1000;
    while (runner.IsRunning()) {
        int timeout = -1;
        if (progress.Enabled()) {
            const uint64_t now = QueryTickCount64();
            timeout = nextTick > now ? static_cast<int>(nextTick - now) : 0;
        }
        Message message;
        switch (loop.Wait(timeout, message)) {
        case EventLoop::Event::Interrupt:
            // As the stop command: the enumeration or the reader stops and
            // the end message follows.
            runner.Stop();
            break;
        case EventLoop::Event::Timeout: {
            const uint64_t now = QueryTickCount64();
            nextTick = now + 1000;
            const bool hashing = runner.GetPhase() == CQmTaskRunner::Phase::Hashing;
            const uint64_t done = hashing ? runner.GetProcessedBytes() : 0;
            std::u16string text = FormatProgressText(hashing, now - startTick, done - lastBytes);
            const uint64_t total = doc.GetSelectedBytes();
            if (hashing && total > 0) {
                const double share = static_cast<double>(done) * 100.0 / static_cast<double>(total);
                text += FormatText(u"  %u%%", static_cast<unsigned>(std::min(share, 100.0)));
            }
            progress.Show(text);
            if (hashing) lastBytes = done;
            break;
        }
        case EventLoop::Event::Message:
            if (message.message == WMU_ENUM_DONE) {
                // The enumeration thread has finished with the document when
                // it posts, so its items can be put in order before the
                // hashing run takes them.
                if (message.lParam == 0 && orderAfterEnumeration && !EventLoop::Interrupted()) {
                    DropRepeatsAndOwnList(doc, ownList, inputsMayRepeat);
                    OrderDocumentForDisplay(doc);
                }
                if (runner.OnEnumDone(message.wParam, message.lParam) ==
                    CQmTaskRunner::EnumOutcome::HashingFailed) {
                    progress.Clear();
                    PrintLastError();
                }
            } else if (message.message == WMU_HASH_DONE) {
                runner.OnHashDone();
            }
            break;
        }
    }
    progress.Clear();
    return !EventLoop::Interrupted();
}

}  // namespace

int StopExitCode() { return 128 + EventLoop::StopSignal(); }

int RunAlgorithms() {
    RegisterBuiltInEngines();
    PrintOut(AlgorithmNames());
    return kExitOk;
}


namespace {

// The name of `algorithm` in the catalogue, empty when it is not there.
std::u16string CatalogueName(int32_t algorithm) {
    const CQmHashCatalog& catalog = GetHashCatalog();
    const HashClassEntry* entry = catalog.Contains(algorithm) ? catalog.GetAt(catalog.IndexOf(algorithm)) : nullptr;
    return entry ? std::u16string(entry->name) : std::u16string();
}

// Whether `--format` can carry `algorithm`, and whether a list written under
// the -o name reads back: sum lines name no algorithm, so the list's name
// must; SFV lines are read only in .sfv files, and other lines not there.
bool CheckListFormat(const Options& options, int32_t algorithm) {
    static constexpr int32_t kSumAlgorithms[] = {QM_HASH_MD5, QM_HASH_SHA1, QM_HASH_SHA256, QM_HASH_SHA384,
                                                 QM_HASH_SHA512};
    switch (options.format) {
    case ListFormat::List:
        break;
    case ListFormat::Sum:
        if (std::find(std::begin(kSumAlgorithms), std::end(kSumAlgorithms), algorithm) == std::end(kSumAlgorithms)) {
            std::u16string names;
            for (int32_t id : kSumAlgorithms) {
                if (!names.empty()) names += u"、";
                names += CatalogueName(id);
            }
            PrintErr(FormatText(u"--format=sum 只支持 %s。\n", names));
            return false;
        }
        break;
    case ListFormat::Bsd:
        if (algorithm == QM_HASH_115) {
            PrintErr(FormatText(u"--format=bsd 不支持 %s。\n", CatalogueName(QM_HASH_115)));
            return false;
        }
        break;
    case ListFormat::Sfv:
        if (algorithm != QM_HASH_CRC32) {
            PrintErr(FormatText(u"--format=sfv 只支持 %s。\n", CatalogueName(QM_HASH_CRC32)));
            return false;
        }
        break;
    }
    if (!options.hasOutput) return true;
    const bool sfvName = IsSfvListName(options.output);
    if (options.format == ListFormat::Sfv && !sfvName) {
        PrintErr(u"--format=sfv 的列表文件名须以 .sfv 结尾，否则读不回来。\n");
        return false;
    }
    if (options.format != ListFormat::Sfv && sfvName) {
        PrintErr(u"以 .sfv 结尾的列表文件只能用 --format=sfv 写出。\n");
        return false;
    }
    if (options.format == ListFormat::Sum && AlgorithmFromListName(options.output) != algorithm) {
        std::u16string name = CatalogueName(algorithm);
        std::u16string lower = name;
        for (char16_t& c : lower) {
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
        }
        PrintErr(FormatText(u"--format=sum 的列表不记录算法，文件名须表明算法（如 *.%s 或 %sSUMS）。\n", lower, name));
        return false;
    }
    return true;
}

}  // namespace

// Inputs that exist but cannot be examined are named with the system's
// reason (a folder above them the user may not search, a path beyond the
// length limit, a link loop) rather than reported as missing; so is a
// relative input when the working directory cannot be determined. `given`
// are the inputs as written, `absolute` the same made absolute. False after
// printing the reasons, and then the missing inputs too: the run ends here,
// and the user should not have to run it again to learn of them.
bool ExamineInputs(const std::vector<std::u16string>& given, const std::vector<std::u16string>& absolute) {
    std::u16string reasons;
    std::vector<size_t> missing;
    for (size_t i = 0; i < given.size(); ++i) {
        if (PathIsRelative(absolute[i])) {
            // MakeAbsolute keeps the path relative only when the working
            // directory could not be determined.
            SetLastErrorText(WorkingDirectoryError(), u"获取当前目录失败，无法访问 %s", given[i]);
            reasons += GetLastErrorText() + u"\n";
            continue;
        }
        bool isMissing = false;
        const uint32_t code = ProbePath(absolute[i], isMissing);
        if (code == 0) continue;
        // Missing inputs are listed together, after the other reasons.
        if (isMissing) {
            missing.push_back(i);
            continue;
        }
        SetLastErrorText(code, u"无法访问 %s", given[i]);
        reasons += GetLastErrorText() + u"\n";
    }
    if (reasons.empty()) return true;
    if (!missing.empty()) reasons += FormatMissingPaths(given, missing, u"\n", false);
    PrintErr(reasons);
    return false;
}

// The wait loop every run needs; its failure is reported here.
static bool InitEventLoop(EventLoop& loop) {
    if (loop.Init()) return true;
    SetLastErrorText(0, u"初始化失败");
    PrintLastError();
    return false;
}

int RunHash(const Options& options) {
    RegisterBuiltInEngines();
    CQmQuorviaDoc& doc = GetQuorviaDoc();
    int32_t algorithm = QM_HASH_NONE;
    if (options.hasAlgorithm) {
        algorithm = ResolveAlgorithm(options.algorithm);
        if (algorithm == QM_HASH_NONE) {
            PrintErr(std::u16string(kUnsupportedAlgorithmText) + u"\n" + AlgorithmNames());
            return kExitUsage;
        }
    } else {
        algorithm = doc.GetAlgorithm();
        if (!GetHashCatalog().Contains(algorithm)) algorithm = QM_HASH_SHA1;
    }

    if (!CheckListFormat(options, algorithm)) return kExitUsage;

    std::vector<std::u16string> paths;
    paths.reserve(options.paths.size());
    for (const std::u16string& path : options.paths) paths.push_back(MakeAbsolute(path));
    if (!ExamineInputs(options.paths, paths)) return kExitUsage;
    const QmTaskPathCheck check = CheckTaskPaths(paths);
    switch (check.status) {
    case QmTaskPathStatus::Ok:
        break;
    case QmTaskPathStatus::NoPaths:
        PrintErr(std::u16string(kNoTaskPathsText) + u"\n");
        return kExitUsage;
    case QmTaskPathStatus::MissingPaths:
        // As the user wrote them, so each line can be recognised.
        PrintErr(FormatMissingPaths(options.paths, check.missing, u"\n", false));
        return kExitUsage;
    case QmTaskPathStatus::NoCommonRoot:
        PrintErr(std::u16string(kNoCommonRootText) + u"\n");
        return kExitUsage;
    }

    EventLoop loop;
    if (!InitEventLoop(loop)) return kExitUsage;
    CQmTaskRunner runner(&loop);
    runner.SetWorkerCount(options.jobs);
    std::vector<TaskInput> inputs;
    inputs.reserve(check.chosen.size());
    for (const QmChosenPath& chosen : check.chosen) inputs.push_back({chosen.path, chosen.isDirectory});
    const uint64_t startTick = QueryTickCount64();
    if (!runner.StartNewTask(inputs, check.commonRoot, algorithm, options.recurse)) {
        PrintLastError();
        return kExitUsage;
    }
    // The list this run writes, as the enumeration names files: absolute,
    // through the links of its folders as given.
    const std::u16string ownList = options.hasOutput ? MakeAbsolute(options.output) : std::u16string();
    if (!RunToEnd(runner, loop, startTick, true, ownList, InputsMayRepeat(inputs))) return StopExitCode();
    const uint64_t elapsed = QueryTickCount64() - startTick;

    bool allHashed = true;
    std::u16string failures;
    const std::vector<CQmQuorviaItem*> items = doc.GetItems();
    for (const CQmQuorviaItem* item : items) {
        if (item->HasHash()) continue;
        allHashed = false;
        failures += item->GetPath() + u"\t" + item->GetError() + u"\n";
    }

    int exitCode = allHashed ? kExitOk : kExitFailed;
    // A stop signal after the run's end still means no list.
    if (EventLoop::Interrupted()) return StopExitCode();
    if (options.hasOutput) {
        const bool written = options.format == ListFormat::List ? doc.SaveHashList(&options.output)
                                                                : WriteListFile(doc, MakeAbsolute(options.output), options.format);
        if (!written) {
            PrintLastError();
            exitCode = kExitUsage;
        }
    } else {
        std::u16string text;
        switch (options.format) {
        case ListFormat::List:
            text = doc.GetAlgorithm() == QM_HASH_115 ? ComposeLinkLines(doc, check.commonRoot)
                                                     : ComposeHashLines(doc, check.commonRoot, true);
            break;
        case ListFormat::Sum:
            text = ComposeSumLines(doc, check.commonRoot);
            break;
        case ListFormat::Bsd:
            text = ComposeBsdLines(doc, check.commonRoot);
            break;
        case ListFormat::Sfv:
            text = ComposeSfvLines(doc, check.commonRoot);
            break;
        }
        std::string bytes;
        if (!CheckListNames(doc, check.commonRoot)) {
            PrintLastError();
            exitCode = kExitUsage;
        } else if (!EncodeText(text, false, QM_ENC_UTF8, bytes)) {
            PrintLastError();
            exitCode = kExitUsage;
        } else if (!WriteOut(bytes)) {
            exitCode = kExitUsage;  // main names the reason
        }
    }
    PrintErr(failures);
    PrintErr(FormatCompletionSummary(elapsed, runner.GetProcessedBytes()) + u"\n");
    PrintErr(FormatTotalsText(doc.GetFileCount(), doc.GetTotalBytes()) + u"\n");
    return exitCode;
}

namespace {

// The list as the messages name it: as the user gave it, or standard input.
std::u16string ListName(const Options& options) {
    return options.listFromStdin ? std::u16string(u"标准输入") : options.list;
}

// Loads the list of `verify` into the process-wide document: from its file,
// or from standard input with names taken against the working directory.
bool LoadVerifyList(const Options& options, int32_t givenAlgorithm) {
    CQmQuorviaDoc& doc = GetQuorviaDoc();
    if (!options.listFromStdin) return doc.LoadHashList(MakeAbsolute(options.list), givenAlgorithm);
    std::string bytes;
    bool tooLarge = false;
    if (const uint32_t code = ReadStandardInput(bytes, kMaxTextFileSize, tooLarge); code != 0) {
        doc.Clear();
        SetLastErrorText(code, u"读取标准输入失败");
        return false;
    }
    if (tooLarge) {
        doc.Clear();
        SetErrorText(0, u"标准输入的内容超过最大限制");
        return false;
    }
    return doc.LoadHashListData(bytes, MakeAbsolute(u"."), givenAlgorithm);
}

// Why a list names no algorithm, when several have its hashes' length.
std::u16string UndecidedAlgorithmHint() {
    const size_t length = GetListUndecidedLength();
    const std::vector<int32_t> candidates = AlgorithmsWithHashTextLength(length);
    if (candidates.size() < 2) return {};
    std::u16string names;
    for (int32_t id : candidates) {
        if (!names.empty()) names += u"、";
        names += CatalogueName(id);
    }
    return FormatText(u"列表没有表明算法，%u 位的哈希值可能是 %s，请用 -a 指定算法。\n",
                      static_cast<unsigned>(length), names);
}

// --ignore-missing: the files of the list that do not exist leave it, as if
// they had not been listed. Returns how many stay.
size_t DropMissingFiles(CQmQuorviaDoc& doc) {
    const std::vector<CQmQuorviaItem*> items = doc.GetItems();
    std::vector<const CQmQuorviaItem*> missing;
    for (const CQmQuorviaItem* item : items) {
        bool isMissing = false;
        if (ProbePath(item->GetPath(), isMissing) != 0 && isMissing) missing.push_back(item);
    }
    if (!missing.empty()) doc.RemoveItems(missing);
    return doc.GetItemCount();
}

}  // namespace

int RunVerify(const Options& options) {
    RegisterBuiltInEngines();
    int32_t givenAlgorithm = QM_HASH_NONE;
    if (options.hasAlgorithm) {
        givenAlgorithm = ResolveAlgorithm(options.algorithm);
        if (givenAlgorithm == QM_HASH_NONE) {
            PrintErr(std::u16string(kUnsupportedAlgorithmText) + u"\n" + AlgorithmNames());
            return kExitUsage;
        }
    }
    CQmQuorviaDoc& doc = GetQuorviaDoc();
    const std::u16string listName = ListName(options);
    if (!LoadVerifyList(options, givenAlgorithm)) {
        // The place first, as compilers name it, so the line can be found;
        // the window shows the recorded text alone.
        const size_t line = GetListErrorLine();
        std::u16string place;
        if (line != 0) place = FormatText(u"%s:%llu: ", listName, static_cast<unsigned long long>(line));
        PrintErr(place + GetLastErrorText() + u"\n" + UndecidedAlgorithmHint());
        return kExitUsage;
    }
    // The lines passed over come first, each with its place: every other
    // line is checked, and the run fails at its end whatever it finds.
    std::u16string skipped;
    for (const QmUnreadableLine& unreadable : doc.GetUnreadableLines()) {
        skipped += FormatText(u"%s:%llu: %s\n", listName, static_cast<unsigned long long>(unreadable.line),
                              unreadable.reason);
    }
    PrintErr(skipped);
    if (doc.GetItemCount() == 0) {
        // Nothing checked is no success.
        PrintErr(u"校验列表中没有文件。\n");
        return kExitFailed;
    }
    if (options.ignoreMissing && DropMissingFiles(doc) == 0) {
        PrintErr(u"校验列表中的文件都不存在，没有检查任何文件。\n");
        return kExitFailed;
    }
    EventLoop loop;
    if (!InitEventLoop(loop)) return kExitUsage;
    CQmTaskRunner runner(&loop);
    runner.SetWorkerCount(options.jobs);
    const uint64_t startTick = QueryTickCount64();
    if (!runner.StartVerification(true)) {
        PrintLastError();
        return kExitUsage;
    }
    if (!RunToEnd(runner, loop, startTick, false)) return StopExitCode();
    const uint64_t elapsed = QueryTickCount64() - startTick;

    const std::u16string& baseDir = doc.GetRootDir();
    const uint32_t digestSize = static_cast<uint32_t>(doc.GetDigestSize());
    std::u16string out;
    std::u16string hashText;
    const size_t count = doc.GetItemCount();
    for (size_t i = 0; i < count; ++i) {
        const CQmQuorviaItem* item = doc.GetItemAt(i);
        std::u16string status;
        if (!item->GetError().empty()) {
            status = item->GetError();
        } else if (!item->HasHash() || !item->IsProcessed()) {
            // Counted as failed; nothing to show.
        } else if (item->VerifyMatches(digestSize)) {
            status = kVerifiedText;
        } else {
            GetHashValueText(doc.GetAlgorithm(), item->GetVerifyHash(), digestSize, hashText);
            status = u"新文件HASH值:" + hashText;
        }
        out += ListDisplayPath(item->GetPath(), baseDir) + u"\t" + status + u"\n";
    }
    PrintOut(out);
    const QmVerifyCounts counts = CountVerifyResults(doc);
    PrintErr(FormatCompletionSummary(elapsed, runner.GetProcessedBytes()) + u"\n");
    PrintErr(FormatVerifyCounts(counts) + u"\n");
    return (counts.mismatched == 0 && counts.failed == 0) ? kExitOk : kExitFailed;
}

}  // namespace qm::cli
