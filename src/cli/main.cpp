// quorvia-cli: the command-line front end.
#include <clocale>
#include <cstdio>

#include "common/utf.h"
#include "version.h"

int main() {
    std::setlocale(LC_ALL, "");
    std::printf("%s %s\n", qm::Utf16ToUtf8(QM_PRODUCT_NAME_U16).c_str(), QM_VERSION_TEXT);
    return 0;
}
