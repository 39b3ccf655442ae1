#include "pipeline/io_thread_queue.h"

namespace qm {

bool CQmIoThreadQueue::SetReadRange(uint64_t start, uint64_t length) {
    rangeStart_ = start;
    rangePosition_ = start;
    rangeLength_ = length;
    return true;
}

void CQmIoThreadQueue::SetQueues(int input, int second, int output) {
    inputQueue_ = input;
    secondQueue_ = second;
    outputQueue_ = output;
}

}  // namespace qm
