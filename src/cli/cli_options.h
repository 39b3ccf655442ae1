// The command line of quorvia-cli:
//
//   quorvia-cli hash [-a NAME] [--format=FORMAT] [--no-recurse] [-o LIST] [-j N] PATH...
//   quorvia-cli verify [-a NAME] [--ignore-missing] [-j N] LIST|-
//   quorvia-cli algorithms
//   quorvia-cli --help | --version
//
// Parsing only: nothing here touches a file or the catalogue.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "document/hash_list.h"

namespace qm::cli {

enum class Command { None, Hash, Verify, Algorithms, Help, Version };

struct Options {
    Command command = Command::None;
    // hash
    bool hasAlgorithm = false;
    std::u16string algorithm;  // as given: "sha-256", "SHA256", "115"
    bool recurse = true;
    ListFormat format = ListFormat::List;  // --format: list, sum, bsd, sfv
    bool hasOutput = false;
    std::u16string output;
    std::vector<std::u16string> paths;
    // verify (and -a above)
    std::u16string list;
    bool listFromStdin = false;  // the list given as "-"
    bool ignoreMissing = false;
    // hash and verify: -j N / --jobs=N, files hashed at once; 0 (not given)
    // for one per core.
    uint32_t jobs = 0;
};

// The most -j accepts.
inline constexpr uint32_t kMaxJobs = 64;

// Parses the arguments after the program's name. On failure returns false with a one-line reason in
// `error`; the caller prints it with the usage and exits with 2. Options and
// paths of `hash` may be mixed; "--" ends the options, so a path may begin
// with "-".
bool ParseOptions(std::span<const std::u16string> args, Options& options, std::u16string& error);

// The usage text, one line per form, each ending in '\n'.
std::u16string UsageText();

}  // namespace qm::cli
