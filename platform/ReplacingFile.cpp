#include "platform/ReplacingFile.h"

#include "platform/Platform.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace Platform {

namespace {
// Names taken by other writers before one is free.
constexpr int NameAttempts = 100;

QString SystemMessage(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The folder part of the path with its '/', empty for the current folder.
QByteArray FolderOf(const QByteArray &path) {
    return path.left(path.lastIndexOf('/') + 1);
}

// So that the new name, not only the new content, survives a power cut. A
// failure here cannot undo the replacement and is not one.
void SyncFolder(const QByteArray &folder) {
    const int fd =
        ::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
} // namespace

ReplacingFile::ReplacingFile(const QString &path) : Target(EncodeName(path)) {}

ReplacingFile::~ReplacingFile() {
    close();
}

void ReplacingFile::close() {
    QIODevice::close();
    WriteFailed = false;
    if (Descriptor >= 0)
        ::close(std::exchange(Descriptor, -1));
    if (!Temporary.isEmpty())
        ::unlink(Temporary.constData());
    Temporary.clear();
    TemporaryMark.Forget();
}

bool ReplacingFile::Fail(int error) {
    close();
    setErrorString(SystemMessage(error));
    return false;
}

namespace {
// How the path is written, as what is there decides.
enum class Way { Replace, Direct };

struct Plan {
    Way How = Way::Replace;
    bool Exists = false;
    bool ThroughLink = false; // Direct: the path is a link to the FIFO or device
    struct stat Old {};       // Direct: what is written; Replace: what is replaced
};

bool IsDirectlyWritten(mode_t mode) {
    return S_ISFIFO(mode) || S_ISCHR(mode);
}

// 0, or the cause why the path is not written at all.
int PlanFor(const QByteArray &target, Plan &plan) {
    if (target.isEmpty())
        return ENOENT;
    plan.Exists = ::lstat(target.constData(), &plan.Old) == 0;
    if (!plan.Exists)
        return errno == ENOENT ? 0 : errno;
    const mode_t mode = plan.Old.st_mode;
    if (S_ISDIR(mode))
        return EISDIR;
    if (IsDirectlyWritten(mode)) {
        plan.How = Way::Direct;
        return 0;
    }
    struct stat linked {};
    if (S_ISLNK(mode) && ::stat(target.constData(), &linked) == 0 &&
        IsDirectlyWritten(linked.st_mode)) {
        plan = {Way::Direct, true, true, linked};
        return 0;
    }
    if (!S_ISREG(mode) && !S_ISLNK(mode))
        return ENOTSUP;
    if (S_ISREG(mode) && !(mode & S_IWUSR))
        return EACCES;
    return 0;
}
} // namespace

bool ReplacingFile::CanOpen(const QString &path, QString *error) {
    const QByteArray target = EncodeName(path);
    Plan plan;
    int cause = PlanFor(target, plan);
    if (cause == 0 && plan.How == Way::Direct) {
        if (::access(target.constData(), W_OK) != 0)
            cause = errno;
    } else if (cause == 0) {
        const QByteArray folder = FolderOf(target);
        const char *name = folder.isEmpty() ? "." : folder.constData();
        struct stat st {};
        if (::stat(name, &st) != 0)
            cause = errno;
        else if (!S_ISDIR(st.st_mode))
            cause = ENOTDIR;
        else if (::access(name, W_OK | X_OK) != 0)
            cause = errno;
    }
    if (cause != 0 && error)
        *error = SystemMessage(cause);
    return cause == 0;
}

bool ReplacingFile::open(OpenMode mode) {
    close();
    if (mode != WriteOnly)
        return Fail(EINVAL);
    Plan plan;
    if (const int cause = PlanFor(Target, plan))
        return Fail(cause);
    if (plan.How == Way::Direct) {
        Descriptor =
            ::open(Target.constData(), O_WRONLY | O_CLOEXEC | (plan.ThroughLink ? 0 : O_NOFOLLOW));
        if (Descriptor < 0)
            return Fail(errno);
        // Something else may have taken the name meanwhile; it is not overwritten.
        struct stat now {};
        if (::fstat(Descriptor, &now) != 0 || now.st_ino != plan.Old.st_ino ||
            now.st_dev != plan.Old.st_dev)
            return Fail(EAGAIN);
        return QIODevice::open(WriteOnly);
    }
    const QByteArray folder = FolderOf(Target);
    for (int attempt = 1; Descriptor < 0; ++attempt) {
        Temporary = folder + ".dupliscan-" +
                    QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
        Descriptor = ::open(Temporary.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (Descriptor < 0) {
            const int error = errno;
            Temporary.clear();
            if (error != EEXIST || attempt == NameAttempts)
                return Fail(error);
        }
    }
    TemporaryMark.Set(Temporary);
    if (plan.Exists && S_ISREG(plan.Old.st_mode)) {
        // The owner only where we may give it (root); the permissions always.
        [[maybe_unused]] const int owned = ::fchown(Descriptor, plan.Old.st_uid, plan.Old.st_gid);
        if (::fchmod(Descriptor, plan.Old.st_mode & 07777) != 0)
            return Fail(errno);
    }
    return QIODevice::open(WriteOnly);
}

qint64 ReplacingFile::writeData(const char *data, qint64 length) {
    qint64 written = 0;
    while (!WriteFailed && written < length) {
        const ssize_t n = ::write(Descriptor, data + written, std::size_t(length - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // The device stays open for the caller; Commit refuses to go on.
            WriteFailed = true;
            setErrorString(SystemMessage(n < 0 ? errno : EIO));
        } else {
            written += n;
        }
    }
    return WriteFailed ? -1 : written;
}

bool ReplacingFile::Commit() {
    if (!isOpen() || WriteFailed) {
        const QString cause = errorString();
        close();
        setErrorString(cause);
        return false;
    }
    // A FIFO or device has nothing to sync.
    if (!Temporary.isEmpty() && ::fsync(Descriptor) != 0)
        return Fail(errno);
    QIODevice::close();
    if (::close(std::exchange(Descriptor, -1)) != 0)
        return Fail(errno);
    if (Temporary.isEmpty())
        return true;
    if (::rename(Temporary.constData(), Target.constData()) != 0)
        return Fail(errno);
    Temporary.clear();
    TemporaryMark.Forget();
    SyncFolder(FolderOf(Target));
    return true;
}

bool ReplaceFileContent(const QString &path, const QByteArray &content, QString *error) {
    ReplacingFile file(path);
    if (file.open() && file.write(content) == content.size() && file.Commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace Platform
