#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/vfs.h>
#include <thread>
#include <unistd.h>

namespace Platform {

QChar PathDelimiter() {
    return QLatin1Char('/');
}

QString LineBreak() {
    return QStringLiteral("\n");
}

QString WithTrailingDelimiter(const QString &folder) {
    if (folder.isEmpty() || folder.endsWith(PathDelimiter()))
        return folder;
    return folder + PathDelimiter();
}

// Windows allows 256 characters of folder and 260 of full name; keep the same
// margin below the platform's limit.
int MaxFolderLength() {
    return PATH_MAX - 4;
}
int MaxPathLength() {
    return PATH_MAX;
}

namespace {
constexpr char16_t EscapeBase = 0xDC00;

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at s[i], or 0 when the byte there does not
// start one.
int ValidSequenceLength(const unsigned char *s, qsizetype i, qsizetype n) {
    const unsigned char b = s[i];
    if (b < 0x80)
        return 1;
    int len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        if (b == 0xE0)
            lo = 0xA0;
        if (b == 0xED)
            hi = 0x9F; // no encoded surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        if (b == 0xF0)
            lo = 0x90;
        if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > n || s[i + 1] < lo || s[i + 1] > hi)
        return 0;
    for (int k = 2; k < len; ++k)
        if (!IsContinuation(s[i + k]))
            return 0;
    return len;
}

bool IsEscapedByte(char16_t c) {
    return c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF;
}
} // namespace

QString DecodeName(const QByteArray &bytes) {
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    QString out;
    out.reserve(bytes.size());
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const int len = ValidSequenceLength(s, i, n);
        if (len == 0) {
            out.append(QChar(char16_t(EscapeBase + s[i])));
            ++i;
        } else {
            out.append(QString::fromUtf8(bytes.constData() + i, len));
            i += len;
        }
    }
    return out;
}

QByteArray EncodeName(const QString &name) {
    if (NameIsExact(name))
        return name.toUtf8();
    QByteArray out;
    out.reserve(name.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        const bool paired = i > 0 && name.at(i - 1).isHighSurrogate();
        if (IsEscapedByte(c) && !paired) {
            out.append(QStringView(name).mid(runStart, i - runStart).toUtf8());
            out.append(char(c - EscapeBase));
            runStart = i + 1;
        }
    }
    out.append(QStringView(name).mid(runStart).toUtf8());
    return out;
}

bool NameIsExact(const QString &name) {
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (IsEscapedByte(c) && !(i > 0 && name.at(i - 1).isHighSurrogate()))
            return false;
    }
    return true;
}

QString FolderKey(const QString &folder) {
    return folder;
}

QString ConfiguredTempFolder() {
    const QString set = qEnvironmentVariable("TMPDIR");
    return set.isEmpty() ? QStringLiteral("/tmp") : set;
}

QStringList SystemFolderKeys() {
    return {"/bin/",   "/boot/",   "/dev/",  "/etc/",  "/lib/", "/lib32/",
            "/lib64/", "/libx32/", "/proc/", "/sbin/", "/sys/", "/usr/"};
}

QStringList ProgramFolderKeys() {
    return {"/opt/", "/usr/local/", "/snap/", "/var/lib/flatpak/"};
}

namespace {
constexpr qint64 UnixEpochAsFileTime = 116444736000000000LL;
}

qint64 FileTimeFromUnix(qint64 seconds, qint64 nanoseconds) {
    return seconds * 10000000LL + nanoseconds / 100 + UnixEpochAsFileTime;
}

qint64 UnixMsecsFromFileTime(qint64 fileTime) {
    return (fileTime - UnixEpochAsFileTime) / 10000;
}

namespace {
// Kernel file systems hold no user files, and walking them can hang (proc) or
// read devices; their mount points are treated like system folders.
bool IsVirtualFileSystem(int folderFd) {
    struct statfs fs {};
    if (fstatfs(folderFd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case 0x62656570: // configfs
    case 0x65735543: // fusectl
    case 0x19800202: // mqueue
    case HUGETLBFS_MAGIC:
    case AUTOFS_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

bool IsVirtualMount(int dirFd, const char *name) {
    const int fd = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool isVirtual = IsVirtualFileSystem(fd);
    close(fd);
    return isVirtual;
}

// Every file the scan admits is opened later by its full name, so a folder
// whose full name the system would refuse is not entered at all.
bool FitsPathLimit(qsizetype pathBytes) {
    return pathBytes < PATH_MAX;
}

std::function<void(const QString &)> BeforeEnter;

quint32 AttributesOf(const struct stat &st, const char *name) {
    quint32 attributes = 0;
    if (!(st.st_mode & S_IWUSR))
        attributes |= AttrReadOnly;
    if (name[0] == '.')
        attributes |= AttrHidden;
    return attributes;
}

FileInfo InfoFromStat(const struct stat &st, const char *name) {
    FileInfo info;
    info.Exists = true;
    info.IsFolder = S_ISDIR(st.st_mode);
    info.IsFile = S_ISREG(st.st_mode);
    info.IsLink = S_ISLNK(st.st_mode);
    info.Size = st.st_size;
    info.Attributes = AttributesOf(st, name);
    info.WriteTime = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    info.WriteTimeExtraNs = quint8(st.st_mtim.tv_nsec % 100);
    info.ChangeTime = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    info.Device = st.st_dev;
    info.Inode = st.st_ino;
    return info;
}
} // namespace

void SetBeforeEnterHook(std::function<void(const QString &path)> hook) {
    BeforeEnter = std::move(hook);
}

FolderReader::~FolderReader() {
    Close();
}

bool FolderReader::Open(const QString &folder) {
    Close();
    QByteArray bytes = EncodeName(folder);
    const qsizetype pathBytes = bytes.size();
    if (!FitsPathLimit(pathBytes)) {
        Fail(ENAMETOOLONG);
        return false;
    }
    // A trailing delimiter would make the system follow a link despite O_NOFOLLOW.
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    const int fd = open(bytes.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        Fail(errno);
    if (fd < 0 || !Adopt(fd, nullptr))
        return false;
    Folder = folder;
    PathBytes = pathBytes;
    return true;
}

bool FolderReader::OpenChild(const FolderReader &parent, const QString &name) {
    Close();
    const QByteArray bytes = EncodeName(name);
    const qsizetype pathBytes = parent.PathBytes + bytes.size() + 1;
    if (parent.Fd < 0 || bytes.isEmpty() || bytes.contains('/') || bytes.contains('\0'))
        return false;
    if (!FitsPathLimit(pathBytes)) {
        Fail(ENAMETOOLONG);
        return false;
    }
    const QString folder = parent.Folder + name + PathDelimiter();
    if (BeforeEnter)
        BeforeEnter(folder);
    const int fd =
        openat(parent.Fd, bytes.constData(), O_RDONLY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        Fail(errno);
    if (fd < 0 || !Adopt(fd, &parent))
        return false;
    Folder = folder;
    PathBytes = pathBytes;
    return true;
}

// Takes the freshly opened folder over, or closes it again when it must not be
// entered: a kernel file system mounted below the parent, or a folder that is
// already on the current path.
bool FolderReader::Adopt(int fd, const FolderReader *parent) {
    struct stat st {};
    bool enter = fstat(fd, &st) == 0;
    if (!enter)
        Fail(errno);
    if (enter && parent && static_cast<quint64>(st.st_dev) != parent->Device)
        enter = !IsVirtualFileSystem(fd);
    for (const FolderReader *up = parent; enter && up; up = up->Parent)
        enter = up->Device != static_cast<quint64>(st.st_dev) ||
                up->Inode != static_cast<quint64>(st.st_ino);
    const int listFd = enter ? fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    DIR *dir = listFd >= 0 ? fdopendir(listFd) : nullptr;
    if (enter && !dir)
        Fail(errno);
    if (!dir) {
        if (listFd >= 0)
            close(listFd);
        close(fd);
        return false;
    }
    Fd = fd;
    Dir = dir;
    Parent = parent;
    Device = st.st_dev;
    Inode = st.st_ino;
    return true;
}

bool FolderReader::Next(DirEntry &entry, bool &usable) {
    usable = false;
    if (!Dir)
        return false;
    errno = 0;
    const dirent *d = readdir(static_cast<DIR *>(Dir));
    if (!d) {
        if (errno != 0)
            Fail(errno);
        // The folder stays open for its subfolders; the listing is done.
        closedir(static_cast<DIR *>(Dir));
        Dir = nullptr;
        return false;
    }
    const char *name = d->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
        return true;
    struct stat st {};
    if (fstatat(Fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        // Without the right to search the folder, every entry ends here.
        if (Failure.isEmpty())
            Fail(errno);
        return true;
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        return true;
    const FileInfo info = InfoFromStat(st, name);
    entry.Name = DecodeName(QByteArray(name));
    entry.IsFolder = info.IsFolder;
    entry.IsSystemFolder =
        info.IsFolder && static_cast<quint64>(st.st_dev) != Device && IsVirtualMount(Fd, name);
    entry.Size = info.Size;
    entry.Attributes = info.Attributes;
    entry.WriteTime = info.WriteTime;
    entry.WriteTimeExtraNs = info.WriteTimeExtraNs;
    entry.ChangeTime = info.ChangeTime;
    entry.Device = info.Device;
    entry.Inode = info.Inode;
    usable = true;
    return true;
}

void FolderReader::Close() {
    if (Dir)
        closedir(static_cast<DIR *>(Dir));
    if (Fd >= 0)
        close(Fd);
    Dir = nullptr;
    Fd = -1;
    Parent = nullptr;
    Folder.clear();
    PathBytes = 0;
    Failure.clear();
}

// An entry that has gone, or became a link or a file, since its folder was
// listed is nothing the user missed.
void FolderReader::Fail(int error) {
    if (error != ENOENT && error != ENOTDIR && error != ELOOP)
        Failure = QString::fromLocal8Bit(std::strerror(error));
}

FolderCache::~FolderCache() {
    Close();
}

int FolderCache::FolderOf(const QByteArray &path, const char *&name) {
    const qsizetype slash = path.lastIndexOf('/');
    name = path.constData() + slash + 1;
    if (slash < 0)
        return AT_FDCWD;
    const QByteArrayView folder(path.constData(), slash + 1);
    if (Fd >= 0 && folder == Folder)
        return Fd;
    Close();
    // Opened for its descriptor only: no right to list it is needed, as
    // with the full name.
    Fd = open(folder.toByteArray().constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (Fd >= 0)
        Folder = folder.toByteArray();
    return Fd;
}

void FolderCache::Close() {
    if (Fd >= 0)
        close(Fd);
    Fd = -1;
    Folder.clear();
}

ReadFile::~ReadFile() {
    Close();
}

bool ReadFile::Open(const QString &path, FolderCache *folders) {
    Close();
    constexpr int Flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    const QByteArray bytes = EncodeName(path);
    int fd = -1;
    if (folders) {
        const char *name = nullptr;
        const int folderFd = folders->FolderOf(bytes, name);
        fd = folderFd == -1 ? -1 : openat(folderFd, name, Flags);
    } else {
        fd = open(bytes.constData(), Flags);
    }
    if (fd < 0)
        return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    Fd = fd;
    FileSize = st.st_size;
    Sparse = qint64(st.st_blocks) * 512 < qint64(st.st_size);
    return true;
}

bool ReadFile::Seek(qint64 position) {
    return Fd >= 0 && lseek(Fd, position, SEEK_SET) == position;
}

bool ReadFile::ReadExactly(char *buffer, qint64 count) {
    if (Fd < 0)
        return false;
    while (count > 0) {
        const ssize_t got = read(Fd, buffer, static_cast<size_t>(count));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        buffer += got;
        count -= got;
    }
    return true;
}

bool ReadFile::ReadLast(char *buffer, qint64 count, bool &followed) {
    followed = false;
    if (Fd < 0)
        return false;
    char beyond;
    for (;;) {
        // Asking for one byte more: a regular file gives less only at its end.
        iovec parts[2] = {{buffer, static_cast<size_t>(count)}, {&beyond, 1}};
        const ssize_t got = readv(Fd, parts, 2);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got >= count) {
            followed = got > count;
            return true;
        }
        if (got == 0)
            return false;
        buffer += got;
        count -= got;
    }
}

bool ReadFile::AtEnd() {
    if (Fd < 0)
        return false;
    char byte;
    ssize_t got;
    do
        got = read(Fd, &byte, 1);
    while (got < 0 && errno == EINTR);
    return got == 0;
}

qint64 ReadFile::NextData(qint64 position) {
    if (Fd < 0)
        return position;
    const off_t data = lseek(Fd, position, SEEK_DATA);
    if (data >= position)
        return data;
    return data < 0 && errno == ENXIO ? std::max(position, FileSize) : position;
}

void ReadFile::Close() {
    if (Fd >= 0)
        close(Fd);
    Fd = -1;
    FileSize = 0;
    Sparse = false;
}

FileInfo StatPath(const QString &path, bool followLinks) {
    struct stat st {};
    const QByteArray bytes = EncodeName(path);
    const int rc = followLinks ? stat(bytes.constData(), &st) : lstat(bytes.constData(), &st);
    if (rc != 0)
        return {};
    const qsizetype slash = bytes.lastIndexOf('/');
    return InfoFromStat(st, bytes.constData() + slash + 1);
}

FileInfo StatPathIn(FolderCache &folders, const QString &path) {
    struct stat st {};
    const QByteArray bytes = EncodeName(path);
    const char *name = nullptr;
    const int folderFd = folders.FolderOf(bytes, name);
    if (folderFd == -1 || fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    return InfoFromStat(st, name);
}

FolderProblem CheckFolder(const QString &folder) {
    const FileInfo info = StatPath(folder, true);
    if (!info.Exists)
        return FolderProblem::Missing;
    if (!info.IsFolder)
        return FolderProblem::NotAFolder;
    const QByteArray bytes = EncodeName(folder);
    DIR *dir = opendir(bytes.constData());
    if (!dir)
        return FolderProblem::Unreadable;
    closedir(dir);
    // The rights of the user the checks are made for, as the scan will meet them.
    if (faccessat(AT_FDCWD, bytes.constData(), X_OK, AT_EACCESS) != 0 && errno == EACCES)
        return FolderProblem::NotSearchable;
    return FolderProblem::None;
}

QString AbsolutePath(const QString &path) {
    if (path.isEmpty())
        return path;
    QString full = path;
    if (!full.startsWith(PathDelimiter())) {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd))
            return path;
        full = DecodeName(QByteArray(cwd)) + PathDelimiter() + path;
    }
    return QDir::cleanPath(full);
}

QString CanonicalPath(const QString &path) {
    char resolved[PATH_MAX];
    if (!realpath(EncodeName(path).constData(), resolved))
        return {};
    return DecodeName(QByteArray(resolved));
}

const char *FindMemory(const char *data, qint64 dataLength, const char *pattern,
                       qint64 patternLength) {
    return static_cast<const char *>(
        memmem(data, std::size_t(dataLength), pattern, std::size_t(patternLength)));
}

} // namespace Platform

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

namespace Platform {

QString ProgramFilePath() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString ChangeFileExt(const QString &path, const QString &extension) {
    const qsizetype slash = path.lastIndexOf(PathDelimiter());
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot > slash)
        return path.left(dot) + extension;
    return path + extension;
}

QString SettingsFilePath(const QString &fileName) {
    const QString folder = QFileInfo(ProgramFilePath()).absolutePath();
    const QString beside = WithTrailingDelimiter(folder) + fileName;
    if (QFileInfo::exists(beside) || QFileInfo(folder).isWritable())
        return beside;
    // The same folder as QSettings("Kelmo", "Dupliscan") uses, whichever of the
    // programs asks.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kelmo/Dupliscan/") + fileName;
}

SystemLanguage SystemDefaultLanguage() {
    const QLocale locale = QLocale::system();
    SystemLanguage ids;
    switch (locale.language()) {
    case QLocale::Chinese:
        ids.Primary = 4;
        break;
    case QLocale::Czech:
        ids.Primary = 5;
        break;
    case QLocale::German:
        ids.Primary = 7;
        break;
    case QLocale::Greek:
        ids.Primary = 8;
        break;
    case QLocale::English:
        ids.Primary = 9;
        break;
    case QLocale::Spanish:
        ids.Primary = 10;
        break;
    case QLocale::French:
        ids.Primary = 12;
        break;
    case QLocale::Hungarian:
        ids.Primary = 14;
        break;
    case QLocale::Italian:
        ids.Primary = 16;
        break;
    case QLocale::Dutch:
        ids.Primary = 19;
        break;
    case QLocale::Polish:
        ids.Primary = 21;
        break;
    case QLocale::Portuguese:
        ids.Primary = 22;
        break;
    case QLocale::Russian:
        ids.Primary = 25;
        break;
    case QLocale::Albanian:
        ids.Primary = 28;
        break;
    case QLocale::Swedish:
        ids.Primary = 29;
        break;
    case QLocale::Turkish:
        ids.Primary = 31;
        break;
    case QLocale::Afrikaans:
        ids.Primary = 54;
        break;
    default:
        break;
    }
    if (ids.Primary == 9) {
        switch (locale.territory()) {
        case QLocale::UnitedStates:
            ids.Sub = 1;
            break;
        case QLocale::UnitedKingdom:
            ids.Sub = 2;
            break;
        case QLocale::Australia:
            ids.Sub = 3;
            break;
        case QLocale::Canada:
            ids.Sub = 4;
            break;
        default:
            break;
        }
    }
    return ids;
}

} // namespace Platform
