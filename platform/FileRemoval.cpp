#include "platform/FileRemoval.h"

#include "platform/Platform.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {
FileError ErrorOf(int error) {
    switch (error) {
    case 0:
        return FileError::None;
    case ENOENT:
    case ENOTDIR:
        return FileError::Missing;
    case EEXIST:
    case ENOTEMPTY:
        return FileError::Exists;
    case EXDEV:
        return FileError::OtherFileSystem;
    case EACCES:
    case EPERM:
    case EROFS:
        return FileError::NoPermission;
    case EISDIR:
        return FileError::NotAFile;
    default:
        return FileError::Other;
    }
}

QString FolderOf(const QString &path) {
    return path.left(path.lastIndexOf(PathDelimiter()) + 1);
}

// The nearest folder at or above the path whose name Qt can take as it is.
QString ExactAncestor(QString path) {
    while (!path.isEmpty() && !NameIsExact(path)) {
        if (path.endsWith(PathDelimiter()))
            path.chop(1);
        path = FolderOf(path);
    }
    return path.isEmpty() ? QString(PathDelimiter()) : path;
}
} // namespace

FileError RenameWithoutReplacing(const QString &from, const QString &to) {
    const QByteArray source = EncodeName(from), target = EncodeName(to);
    if (renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return FileError::None;
    if (errno != EINVAL && errno != ENOSYS)
        return ErrorOf(errno);
    // File systems without the flag: a second name first, which fails where
    // anything is in the way, then the first name goes.
    struct stat st {};
    if (lstat(source.constData(), &st) != 0)
        return ErrorOf(errno);
    if (S_ISDIR(st.st_mode))
        return FileError::NotAFile;
    if (link(source.constData(), target.constData()) != 0)
        return ErrorOf(errno);
    if (unlink(source.constData()) != 0) {
        const int error = errno;
        unlink(target.constData());
        return ErrorOf(error);
    }
    return FileError::None;
}

FileError DeleteFile(const QString &path) {
    return unlink(EncodeName(path).constData()) == 0 ? FileError::None : ErrorOf(errno);
}

FileError MakeSymbolicLink(const QString &target, const QString &linkPath) {
    return symlink(EncodeName(target).constData(), EncodeName(linkPath).constData()) == 0
               ? FileError::None
               : ErrorOf(errno);
}

QString SymbolicLinkTarget(const QString &path) {
    char buffer[PATH_MAX];
    const ssize_t n = readlink(EncodeName(path).constData(), buffer, sizeof buffer);
    return n > 0 ? DecodeName(QByteArray(buffer, qsizetype(n))) : QString();
}

FileError MakeFolderChain(const QString &folder) {
    const QByteArray bytes = EncodeName(WithTrailingDelimiter(folder));
    for (qsizetype slash = bytes.indexOf('/', 1); slash > 0;
         slash = bytes.indexOf('/', slash + 1)) {
        const QByteArray part = bytes.left(slash);
        struct stat st {};
        if (lstat(part.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return FileError::NotAFile;
            continue;
        }
        if (errno != ENOENT)
            return ErrorOf(errno);
        if (mkdir(part.constData(), 0777) != 0 && errno != EEXIST)
            return ErrorOf(errno);
        // Made by someone else meanwhile: the check above runs once more.
        if (lstat(part.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            return FileError::NotAFile;
    }
    return FileError::None;
}

bool RemoveEmptyFolder(const QString &folder) {
    return rmdir(EncodeName(folder).constData()) == 0;
}

bool RemovalLockedBySystem(const QString &path) {
    const int fd =
        open(EncodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    const bool known = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    close(fd);
    return known && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0;
}

QString MountPointOf(const QString &path) {
    const QStorageInfo storage(ExactAncestor(FolderOf(path)));
    if (!storage.isValid())
        return {};
    return WithTrailingDelimiter(storage.rootPath());
}

bool IsLocalFileSystem(const QString &path) {
    const QStorageInfo storage(ExactAncestor(FolderOf(path)));
    if (!storage.isValid())
        return false;
    const QByteArray type = storage.fileSystemType().toLower();
    static const char *const network[] = {"nfs",  "nfs4",  "cifs",       "smb3", "smbfs",
                                          "9p",   "afs",   "ncpfs",      "ceph", "glusterfs",
                                          "coda", "davfs", "fuse.davfs2"};
    for (const char *name : network)
        if (type == name)
            return false;
    // Every file system served through FUSE over a network (sshfs, rclone,
    // gvfs, s3fs, ...) is named so.
    return !(type.startsWith("fuse.") &&
             (type.contains("ssh") || type.contains("rclone") || type.contains("gvfs") ||
              type.contains("s3") || type.contains("smb") || type.contains("nfs") ||
              type.contains("curlftp") || type.contains("davfs")));
}

QString HomeFolder() {
    const QString canonical = CanonicalPath(QDir::homePath());
    return WithTrailingDelimiter(canonical.isEmpty() ? QDir::homePath() : canonical);
}

bool MoveToTrash(const QString &path, QString &pathInTrash) {
    // Qt takes names as text: a name that is not valid UTF-8 would reach
    // another file, so such a file finds no trash here.
    if (!NameIsExact(path))
        return false;
    return QFile::moveToTrash(path, &pathInTrash);
}

QString TrashInfoFileOf(const QString &pathInTrash) {
    const qsizetype slash = pathInTrash.lastIndexOf(PathDelimiter());
    const QString files = pathInTrash.left(slash);
    const QString trash = files.left(files.lastIndexOf(PathDelimiter()) + 1);
    return trash + QStringLiteral("info/") + pathInTrash.mid(slash + 1) +
           QStringLiteral(".trashinfo");
}

QString TrashInfoOriginalPath(const QString &infoFile) {
    QFile file(infoFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray encoded;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("Path="))
            encoded = line.mid(5).trimmed();
    if (encoded.isEmpty())
        return {};
    const QString path = QString::fromUtf8(QByteArray::fromPercentEncoding(encoded));
    if (path.startsWith(PathDelimiter()))
        return path;
    // A trash at the top of another file system records paths below that top:
    // <top>/.Trash-<uid>/info/... or <top>/.Trash/<uid>/info/...
    QDir trash = QFileInfo(infoFile).dir();
    trash.cdUp();
    QDir top = trash;
    top.cdUp();
    if (top.dirName() == QLatin1String(".Trash"))
        top.cdUp();
    return WithTrailingDelimiter(top.path()) + path;
}

} // namespace Platform
