#include "common/os/thread.h"

#include <pthread.h>
#include <unistd.h>

namespace qm::os {

uint32_t CurrentThreadId() { return static_cast<uint32_t>(::gettid()); }

void SetCurrentThreadName(const char* name) { pthread_setname_np(pthread_self(), name); }

}  // namespace qm::os
