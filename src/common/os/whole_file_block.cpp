#include "common/os/whole_file_block.h"

#include <new>
#include <stdexcept>

#include "common/error_record.h"

namespace qm::os {

bool AllocateWholeFileBlock(std::u16string_view path, uint64_t size, uint64_t sizeLimit, std::vector<uint8_t>& data) {
    if (size > sizeLimit) {
        SetErrorText(0, u"文件 %s 超过最大限制", path);
        return false;
    }
    try {
        data.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        SetErrorText(0, u"读取文件 %s 时分配内存失败", path);
        return false;
    } catch (const std::length_error&) {
        SetErrorText(0, u"读取文件 %s 时分配内存失败", path);
        return false;
    }
    return true;
}

}  // namespace qm::os
