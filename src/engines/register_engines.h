// Filling the algorithm catalogue at start-up.
#pragma once

#include "engines/hash_catalog.h"

namespace qm {

// Registers every engine in the order the user is offered them: CRC32, MD2
// and MD4 (when the MD2 probe engine initialises), MD5, SHA1, SHA256, SHA384
// and SHA512 (when the SHA256 probe engine initialises), 115网盘.
// The process-wide catalogue is filled only once; later calls do nothing.
void RegisterBuiltInEngines();

// The same into a catalogue of the caller's (tests build their own).
void RegisterBuiltInEngines(CQmHashCatalog& catalog);

}  // namespace qm
