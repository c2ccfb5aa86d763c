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
}

bool ReplacingFile::Fail(int error) {
    close();
    setErrorString(SystemMessage(error));
    return false;
}

bool ReplacingFile::open(OpenMode mode) {
    close();
    if (mode != WriteOnly)
        return Fail(EINVAL);
    if (Target.isEmpty())
        return Fail(ENOENT);
    struct stat old {};
    const bool exists = ::lstat(Target.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return Fail(errno);
    if (exists && S_ISDIR(old.st_mode))
        return Fail(EISDIR);
    if (exists && (S_ISFIFO(old.st_mode) || S_ISCHR(old.st_mode))) {
        Descriptor = ::open(Target.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        if (Descriptor < 0)
            return Fail(errno);
        // Something else may have taken the name meanwhile; it is not overwritten.
        struct stat now {};
        if (::fstat(Descriptor, &now) != 0 || now.st_ino != old.st_ino || now.st_dev != old.st_dev)
            return Fail(EAGAIN);
    } else {
        if (exists && !S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode))
            return Fail(ENOTSUP);
        if (exists && S_ISREG(old.st_mode) && !(old.st_mode & S_IWUSR))
            return Fail(EACCES);
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
        if (exists && S_ISREG(old.st_mode)) {
            // The owner only where we may give it (root); the permissions always.
            [[maybe_unused]] const int owned = ::fchown(Descriptor, old.st_uid, old.st_gid);
            if (::fchmod(Descriptor, old.st_mode & 07777) != 0)
                return Fail(errno);
        }
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
