// libFuzzer target over the hash list reader: the bytes of a list file go
// through the text-file layer (encoding detection, decoding, line splitting)
// and the list reader into a document, read once with no word on its
// algorithm (the lines' shapes decide), once as an .sfv list and once as a
// list named after SHA-256, and the document is then written back in every
// layout. Any crash, out-of-bounds access or undefined behaviour is a
// finding, and so is a report that names a line the list does not have or
// that is out of order.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <cstdint>
#include <string>
#include <vector>

#include "common/utf.h"
#include "document/hash_list.h"
#include "document/quorvia_doc.h"
#include "document/text_file.h"
#include "engines/register_engines.h"

namespace {

struct FuzzState {
    FuzzState() {
        // Memory-backed when the system has it: every input is written out.
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/quorvia-fuzz-XXXXXX"
                                                             : "/tmp/quorvia-fuzz-XXXXXX";
        const char* dir = mkdtemp(pattern.data());
        if (!dir) abort();
        directory = dir;
        // Documents store the saved algorithm when they are destroyed; keep
        // that away from the real home.
        setenv("XDG_CONFIG_HOME", directory.c_str(), 1);
        qm::RegisterBuiltInEngines();
        filePath = directory + "/list.txt";
        listPath = qm::PathFromOs(filePath);
    }
    ~FuzzState() {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
    std::string directory;
    std::string filePath;
    std::u16string listPath;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzState state;
    static qm::CQmQuorviaDoc doc;
    // A plain write: the list is read back through the real reader, while
    // the program's own writer would flush to disk on every input.
    {
        FILE* file = fopen(state.filePath.c_str(), "wb");
        if (!file) return 0;
        const bool written = fwrite(data, 1, size, file) == size;
        if (fclose(file) != 0 || !written) return 0;
    }
    std::vector<std::u16string> lines;
    if (!qm::ReadTextLines(state.listPath, 0, false, lines)) return 0;
    static const qm::ListReadHints kHints[] = {
        {},
        {qm::QM_HASH_NONE, qm::QM_HASH_CRC32, true},
        {qm::QM_HASH_NONE, qm::QM_HASH_SHA256, false},
    };
    std::vector<qm::QmUnreadableLine> unreadable;
    for (const qm::ListReadHints& hints : kHints) {
        doc.Clear();
        // Paths resolve below a folder that does not exist, so most lookups
        // fail fast; ".." may still climb to real files, which is harmless.
        doc.SetRootDir(u"/nonexistent-quorvia-fuzz/lists");
        if (qm::ParseListLines(lines, doc, hints, unreadable)) {
            size_t previous = 0;
            for (const qm::QmUnreadableLine& line : unreadable) {
                if (line.line <= previous || line.line > lines.size() || line.reason.empty()) abort();
                previous = line.line;
            }
            doc.SetDigestSize(64);
            qm::ComposeHashLines(doc, doc.GetRootDir(), true);
            qm::ComposeLinkLines(doc, u"/nonexistent-quorvia-fuzz/other");
            qm::ComposeSumLines(doc, doc.GetRootDir());
            qm::ComposeBsdLines(doc, doc.GetRootDir());
            qm::ComposeSfvLines(doc, u"/nonexistent-quorvia-fuzz/other");
        } else if (qm::GetListErrorLine() > lines.size() || !unreadable.empty()) {
            abort();  // a failure names a line the list has, and reports no other
        }
    }
    return 0;
}
