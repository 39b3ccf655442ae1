// Filling the catalogue: one short table in the order the user sees the
// algorithms, with the two provider families behind their probes.
#include "engines/register_engines.h"

#include <memory>
#include <mutex>
#include <new>

#include "engines/crc32.h"
#include "engines/csp_hash.h"
#include "engines/hash_115.h"
#include "engines/md5.h"
#include "engines/sha1.h"

namespace qm {
namespace {

template <class Engine>
std::unique_ptr<CQmHashObject> Create() {
    // Null rather than an exception when memory is exhausted.
    return std::unique_ptr<CQmHashObject>(new (std::nothrow) Engine());
}

// A family is offered when a temporary engine of its probe algorithm
// initialises; a failed probe leaves only its error text behind.
template <class ProbeEngine>
bool ProbeSucceeds() {
    ProbeEngine probe;
    return probe.Init();
}

}  // namespace

void RegisterBuiltInEngines(CQmHashCatalog& catalog) {
    const bool mdFamily = ProbeSucceeds<CQmCspMd2>();
    const bool sha2Family = ProbeSucceeds<CQmCspSha256>();

    catalog.RegisterClass(Create<CQmCRC32>);
    if (mdFamily) {
        catalog.RegisterClass(Create<CQmCspMd2>);
        catalog.RegisterClass(Create<CQmCspMd4>);
    }
    catalog.RegisterClass(Create<CQmMD5>);
    catalog.RegisterClass(Create<CQmSHA1>);
    if (sha2Family) {
        catalog.RegisterClass(Create<CQmCspSha256>);
        catalog.RegisterClass(Create<CQmCspSha384>);
        catalog.RegisterClass(Create<CQmCspSha512>);
    }
    catalog.RegisterClass(Create<CQm115SHA1>);
}

void RegisterBuiltInEngines() {
    static std::once_flag once;
    std::call_once(once, [] { RegisterBuiltInEngines(GetHashCatalog()); });
}

}  // namespace qm
