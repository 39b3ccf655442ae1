#include "common/os/thread.h"

#include <pthread.h>
#include <unistd.h>

namespace qm::os {

uint32_t CurrentThreadId() { return static_cast<uint32_t>(::gettid()); }

void SetCurrentThreadName(const char* name) { pthread_setname_np(pthread_self(), name); }

uint32_t ThreadErrorCode(const std::system_error& error) { return static_cast<uint32_t>(error.code().value()); }

}  // namespace qm::os
