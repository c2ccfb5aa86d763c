#include "platform/MutedStandardError.h"

#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace Platform {

namespace {
// Pictures are decoded on several threads at once, and the standard error
// they share must come back only when the last of them is done with it.
std::mutex MuteLock;
int MuteCount = 0;
int SavedError = -1;
} // namespace

MutedStandardError::MutedStandardError() {
    const std::lock_guard<std::mutex> lock(MuteLock);
    if (MuteCount++ > 0)
        return;
    std::fflush(stderr);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0)
        return;
    SavedError = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (SavedError >= 0 && ::dup2(null, STDERR_FILENO) < 0) {
        ::close(SavedError);
        SavedError = -1;
    }
    ::close(null);
}

MutedStandardError::~MutedStandardError() {
    const std::lock_guard<std::mutex> lock(MuteLock);
    if (--MuteCount > 0 || SavedError < 0)
        return;
    std::fflush(stderr);
    ::dup2(SavedError, STDERR_FILENO);
    ::close(SavedError);
    SavedError = -1;
}

} // namespace Platform
