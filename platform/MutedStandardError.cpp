#include "platform/MutedStandardError.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace Platform {

namespace {
// Decoders on two threads may overlap: the first one in mutes, the last one
// out restores, so nobody restores a descriptor another one has muted.
std::mutex Lock;
int Holders = 0;
int Saved = -1;
} // namespace

MutedStandardError::MutedStandardError() {
    const std::lock_guard<std::mutex> guard(Lock);
    if (Holders++ > 0)
        return;
    std::fflush(stderr);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0)
        return;
    Saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (Saved >= 0 && ::dup2(null, STDERR_FILENO) < 0) {
        ::close(Saved);
        Saved = -1;
    }
    ::close(null);
}

MutedStandardError::~MutedStandardError() {
    const std::lock_guard<std::mutex> guard(Lock);
    if (--Holders > 0 || Saved < 0)
        return;
    std::fflush(stderr);
    ::dup2(Saved, STDERR_FILENO);
    ::close(Saved);
    Saved = -1;
}

void WriteStandardError(const char *bytes, long long size) {
    // Under the lock the saved descriptor cannot be closed by the last
    // decoder leaving meanwhile.
    const std::lock_guard<std::mutex> guard(Lock);
    std::fflush(stderr);
    const int target = Saved >= 0 ? Saved : STDERR_FILENO;
    while (size > 0) {
        const ssize_t written = ::write(target, bytes, std::size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        bytes += written;
        size -= written;
    }
}

} // namespace Platform
