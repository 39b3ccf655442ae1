// The three commands of quorvia-cli. Each returns the process exit code:
//   0  every file has a digest (hash) / every file matches (verify)
//   1  some file failed (hash) / some file differs or failed (verify)
//   2  bad arguments, missing inputs or inputs that cannot be examined, an
//      unknown algorithm, a list that cannot be loaded or written, or
//      standard output or standard error that cannot be written
//   130 stopped by Ctrl+C, 143 by SIGTERM, 129 by SIGHUP (no list is written)
#pragma once

#include "cli/cli_options.h"

namespace qm::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// 128 plus the number of the stop signal that came, as shells report a
// process the signal ended.
int StopExitCode();

int RunHash(const Options& options);
int RunVerify(const Options& options);
int RunAlgorithms();

}  // namespace qm::cli
