#include "pipeline/buffer_queue.h"

#include <new>
#include <utility>

#include "common/error_record.h"
#include "common/os/memory.h"

namespace qm {

namespace {

// The header sits right after the data area, moved up to its own alignment
// when the capacity is not a multiple of it.
constexpr size_t kHeaderAlign = alignof(CQmIoBuffer);

size_t HeaderOffset(uint32_t capacity) {
    return (static_cast<size_t>(capacity) + kHeaderAlign - 1) & ~(kHeaderAlign - 1);
}

}  // namespace

CQmIoQueueMgr::Allocation::Allocation(Allocation&& other) noexcept
    : address(std::exchange(other.address, nullptr)), size(std::exchange(other.size, 0)) {}

CQmIoQueueMgr::Allocation& CQmIoQueueMgr::Allocation::operator=(Allocation&& other) noexcept {
    if (this != &other) {
        os::FreePages(address, size);
        address = std::exchange(other.address, nullptr);
        size = std::exchange(other.size, 0);
    }
    return *this;
}

CQmIoQueueMgr::Allocation::~Allocation() {
    os::FreePages(address, size);
}

CQmIoQueueMgr::CQmIoQueueMgr() = default;

CQmIoQueueMgr::~CQmIoQueueMgr() { DestroyAll(); }

bool CQmIoQueueMgr::CreateQueue(int index, uint32_t count, uint32_t capacity) {
    if (!ValidIndex(index) || count > kMaxBuffers) {
        SetLastErrorText(os::kErrorInvalidArgument, u"创建信号量失败");
        return false;
    }
    Queue& queue = queues_[index];
    if (queue.semaphore) {
        SetLastErrorText(os::kErrorAlreadyExists, u"创建信号量失败");
        return false;
    }
    queue.ring = std::make_unique<CQmIoBuffer*[]>(kMaxBuffers);
    queue.head = 0;
    queue.size = 0;

    bool complete = true;
    const size_t size = HeaderOffset(capacity) + sizeof(CQmIoBuffer);
    for (uint32_t k = 0; k < count; ++k) {
        // Zero-filled, page-aligned pages that cost nothing until a run
        // actually fills them.
        void* address = os::AllocatePages(size);
        if (!address) {
            SetLastErrorText(0, u"分配内存失败(索引号%u,大小:%u字节)。", k,
                             static_cast<uint64_t>(capacity) + sizeof(CQmIoBuffer));
            complete = false;
            break;
        }
        allBuffers_.emplace_back(address, size);
        auto* data = static_cast<uint8_t*>(address);
        auto* buffer = new (data + HeaderOffset(capacity)) CQmIoBuffer{};
        buffer->data = data;
        buffer->homeQueue = index;
        buffer->currentQueue = index;
        buffer->capacity = capacity;
        queue.ring[queue.size++] = buffer;
    }
    // The count equals the buffers actually made.
    queue.semaphore = std::make_unique<Semaphore>(queue.size, kMaxBuffers);
    return complete;
}

CQmIoBuffer* CQmIoQueueMgr::Get(int index, Event* stop) {
    if (!ValidIndex(index) || !queues_[index].semaphore) {
        SetLastErrorText(os::kErrorInvalidArgument, u"等待信号量失败");
        return nullptr;
    }
    Queue& queue = queues_[index];
    if (queue.semaphore->Acquire(stop) != Semaphore::WaitResult::Acquired) return nullptr;
    std::lock_guard lock(queue.lock);
    CQmIoBuffer* buffer = queue.ring[queue.head];
    queue.head = (queue.head + 1) % kMaxBuffers;
    --queue.size;
    return buffer;
}

CQmIoBuffer* CQmIoQueueMgr::TryGet(int index) {
    if (!ValidIndex(index) || !queues_[index].semaphore) return nullptr;
    Queue& queue = queues_[index];
    if (!queue.semaphore->TryAcquire()) return nullptr;
    std::lock_guard lock(queue.lock);
    CQmIoBuffer* buffer = queue.ring[queue.head];
    queue.head = (queue.head + 1) % kMaxBuffers;
    --queue.size;
    return buffer;
}

bool CQmIoQueueMgr::Put(CQmIoBuffer* buffer, int index) {
    if (!buffer) return true;
    if (index == -1) {
        index = buffer->homeQueue;
        buffer->endOfItem = 0;
        buffer->item = nullptr;
    }
    if (!ValidIndex(index) || !queues_[index].semaphore) return false;
    Queue& queue = queues_[index];
    {
        std::lock_guard lock(queue.lock);
        // Semaphore count and list length move together; a full list
        // refuses the buffer instead of hiding it from the count.
        if (queue.size == kMaxBuffers) return false;
        buffer->currentQueue = index;
        queue.ring[(queue.head + queue.size) % kMaxBuffers] = buffer;
        ++queue.size;
    }
    queue.semaphore->Release(1);
    return true;
}

void CQmIoQueueMgr::DestroyAll() {
    for (Queue& queue : queues_) {
        queue.semaphore.reset();
        queue.ring.reset();
        queue.head = 0;
        queue.size = 0;
    }
    allBuffers_.clear();
}

bool CQmIoQueueMgr::IsCreated(int index) const { return ValidIndex(index) && queues_[index].semaphore != nullptr; }

uint32_t CQmIoQueueMgr::GetQueueLength(int index) const {
    return IsCreated(index) ? queues_[index].semaphore->GetCount() : 0;
}

CQmIoQueueMgr& GetIoQueueMgr() {
    static CQmIoQueueMgr manager;
    return manager;
}

}  // namespace qm
