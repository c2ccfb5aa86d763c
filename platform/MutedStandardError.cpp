#include "platform/MutedStandardError.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace Platform {

MutedStandardError::MutedStandardError() {
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
    if (Saved < 0)
        return;
    std::fflush(stderr);
    ::dup2(Saved, STDERR_FILENO);
    ::close(Saved);
}

} // namespace Platform
