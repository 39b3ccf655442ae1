// The one step of reading a whole file that both systems share: checking the
// size against the caller's limit and allocating the block for it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace qm::os {

// Gives `data` `size` bytes. False with "文件 %s 超过最大限制" when `size` is
// above `sizeLimit`, or "读取文件 %s 时分配内存失败" when there is no memory for
// it, recorded with `path` and no system text.
bool AllocateWholeFileBlock(std::u16string_view path, uint64_t size, uint64_t sizeLimit, std::vector<uint8_t>& data);

}  // namespace qm::os
