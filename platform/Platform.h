#pragma once
// The one place that knows which operating system the program runs on. Everything
// else speaks of paths, folders and files through these few routines.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

namespace Platform {

// Folders always end in the delimiter.
QChar PathDelimiter();
QString WithTrailingDelimiter(const QString &folder);
// How text handed to other programs (the clipboard) ends its lines here.
QString LineBreak();

// Longest folder and longest full file name the scan admits. The scan keeps
// the two checks of the original design against these limits.
int MaxFolderLength();
int MaxPathLength();

// File names are bytes here. Bytes that are not valid UTF-8 are carried in the
// QString as lone surrogates U+DC80..U+DCFF, so that every name survives the
// round trip and the program always touches exactly the file it found.
QString DecodeName(const QByteArray &bytes);
QByteArray EncodeName(const QString &name);
bool NameIsExact(const QString &name); // false when the name carries raw bytes

// Key for comparing folders: the exact text where the file system tells case.
QString FolderKey(const QString &folder);

// The folder set for temporary files, named also when it does not exist (Qt's
// QDir::tempPath() is then empty), so that a message can say which one it is.
QString ConfiguredTempFolder();

// Folders the scan locks and the search run warns about (keys, trailing delimiter).
QStringList SystemFolderKeys();
QStringList ProgramFolderKeys();

// How the program's texts name those folders: the Windows folder and
// "Programme" where they are the system's, system and program folders such as
// /usr and /opt elsewhere. The phrase lists choose their texts by it.
enum class FolderWording { Windows, Unix };
#ifdef _WIN32
inline constexpr FolderWording SystemFolderWording = FolderWording::Windows;
#else
inline constexpr FolderWording SystemFolderWording = FolderWording::Unix;
#endif
// The text for this system's wording.
inline QString ForSystemWording(const QString &windowsText, const QString &unixText) {
    return SystemFolderWording == FolderWording::Windows ? windowsText : unixText;
}

// Attribute bits with the values the rest of the program expects.
constexpr quint32 AttrReadOnly = 1;
constexpr quint32 AttrHidden = 2;
constexpr quint32 AttrSystem = 4;
constexpr quint32 AttrArchive = 32;

// 100-ns intervals since 1601-01-01 UTC.
qint64 FileTimeFromUnix(qint64 seconds, qint64 nanoseconds);
qint64 UnixMsecsFromFileTime(qint64 fileTime);

struct DirEntry {
    QString Name;
    bool IsFolder = false;
    bool IsSystemFolder = false; // never entered: mounts of virtual file systems
    qint64 Size = 0;
    quint32 Attributes = 0;
    qint64 WriteTime = 0;
    quint8 WriteTimeExtraNs = 0; // what WriteTime's 100-ns steps leave out
    // When the file's inode last changed (ns since 1970): set by the system on
    // every write, rename or new file, and no program can set it back.
    qint64 ChangeTime = 0;
    quint64 Device = 0;
    quint64 Inode = 0;
};

// Lists one folder without following symbolic links. Only regular files and
// real folders are delivered; links, FIFOs, sockets and devices are passed over
// without being opened.
//
// A reader keeps its folder's descriptor open while the scan is below it: each
// subfolder is opened by name relative to that descriptor, so whatever is
// renamed or replaced by a link along the path after the listing, the scan only
// ever enters a real folder inside the one it has just listed. That is one
// descriptor per level of the current path, plus one while a folder is listed.
class FolderReader {
public:
    FolderReader() = default;
    ~FolderReader();
    FolderReader(const FolderReader &) = delete;
    FolderReader &operator=(const FolderReader &) = delete;

    // The base folder, by its full name; a symbolic link is refused even when
    // the name ends in the delimiter, so the caller resolves links first.
    bool Open(const QString &folder);
    // The subfolder `name` of an open folder, which must stay open as long as
    // this one. Refused (as unreadable) when it is a link, a kernel file
    // system, one of the folders on the current path (a loop, e.g. through a
    // bind mount), when its full name would be too long for the system to open
    // the files in it, or when no descriptor is left.
    bool OpenChild(const FolderReader &parent, const QString &name);
    bool IsOpen() const { return Fd >= 0; }
    // The folder's full name, ending in the delimiter.
    const QString &Path() const { return Folder; }
    // Reads the next raw entry. Returns false at the end. When the entry is not
    // a file or folder worth delivering, `usable` is false.
    bool Next(DirEntry &entry, bool &usable);
    void Close();
    // Why the last Open or OpenChild failed, or why entries of the open folder
    // could not be looked at (a folder that may be listed but not searched),
    // in the system's words. Empty when nothing was missed, and when a folder
    // was passed over on purpose (a link, a kernel file system, a loop) or had
    // gone meanwhile.
    const QString &FailureReason() const { return Failure; }

private:
    bool Adopt(int fd, const FolderReader *parent);
    void Fail(int error);

    int Fd = -1;
    void *Dir = nullptr; // the listing, over a descriptor of its own
    const FolderReader *Parent = nullptr;
    QString Folder;
    qsizetype PathBytes = 0;
    quint64 Device = 0;
    quint64 Inode = 0;
    QString Failure;
};

// Called after a folder's listing, just before each subfolder is opened, with
// the subfolder's full name: tests replace the folder at exactly that moment.
void SetBeforeEnterHook(std::function<void(const QString &path)> hook);

// Opens and looks at files by their full names, but walks the path of their
// folder only once while they share it: a descriptor of the last folder is
// kept. Opening a hundred thousand files by full name spends more of the
// system's time on the path than on the read. Meant to live for one pass over
// many files; a folder replaced meanwhile is still the one first opened.
class FolderCache {
public:
    FolderCache() = default;
    ~FolderCache();
    FolderCache(const FolderCache &) = delete;
    FolderCache &operator=(const FolderCache &) = delete;

    // The descriptor to open the encoded path's last part relative to (name
    // points into path), or -1 when its folder cannot be opened.
    int FolderOf(const QByteArray &path, const char *&name);
    void Close();

private:
    QByteArray Folder;
    int Fd = -1;
};

// Read-only file access by exact name.
class ReadFile {
public:
    ReadFile() = default;
    ~ReadFile();
    ReadFile(const ReadFile &) = delete;
    ReadFile &operator=(const ReadFile &) = delete;

    // Opens regular files only, so a name that turned into a FIFO or device
    // after the scan can never block or be read. With folders, through its
    // folder's descriptor.
    bool Open(const QString &path, FolderCache *folders = nullptr);
    bool IsOpen() const { return Fd >= 0; }
    qint64 Size() const { return FileSize; }
    bool Seek(qint64 position);
    // Reads exactly count bytes; false on any error or short read.
    bool ReadExactly(char *buffer, qint64 count);
    // ReadExactly and AtEnd at once: followed tells whether a byte follows
    // the count bytes. One system call where the two take two.
    bool ReadLast(char *buffer, qint64 count, bool &followed);
    // True when a read from here gives the end of the file: no byte follows.
    bool AtEnd();
    // The file takes less room on disk than its size: it may have holes.
    bool MayHaveHoles() const { return Sparse; }
    // Where the next stored bytes begin, at or after position: the end of a
    // hole of a sparse file, which reads as zeros, or the size when only a
    // hole follows. Without holes (or where the system keeps none) position
    // itself. Moves the read position; Seek before the next read.
    qint64 NextData(qint64 position);
    void Close();

private:
    int Fd = -1;
    qint64 FileSize = 0;
    bool Sparse = false;
};

struct FileInfo {
    bool Exists = false;
    bool IsFolder = false;
    bool IsFile = false;
    bool IsLink = false;
    qint64 Size = 0;
    quint32 Attributes = 0;
    qint64 WriteTime = 0;
    quint8 WriteTimeExtraNs = 0; // what WriteTime's 100-ns steps leave out
    // When the file's inode last changed (ns since 1970): set by the system on
    // every write, rename or new file, and no program can set it back.
    qint64 ChangeTime = 0;
    quint64 Device = 0;
    quint64 Inode = 0;
};
// Looks at the path itself; a symbolic link is followed only when asked.
FileInfo StatPath(const QString &path, bool followLinks);
// The same without following, through the folder's descriptor.
FileInfo StatPathIn(FolderCache &folders, const QString &path);

// NotSearchable: the folder may be listed, but nothing in it opened.
enum class FolderProblem { None, Missing, NotAFolder, Unreadable, NotSearchable };
FolderProblem CheckFolder(const QString &folder);

// Absolute form of a folder typed by the user, relative to the current folder.
QString AbsolutePath(const QString &path);
// The folder with every link resolved, or empty when it cannot be resolved.
QString CanonicalPath(const QString &path);

// The first occurrence of pattern in data, or null; the C library's searcher
// runs in linear time even on runs of equal bytes.
const char *FindMemory(const char *data, qint64 dataLength, const char *pattern,
                       qint64 patternLength);

} // namespace Platform

// Program files, settings and the system language (language and settings units).
namespace Platform {

// Full path of the running program file.
QString ProgramFilePath();
// The path with the extension of its file name replaced (or appended when it
// has none); extension includes the dot.
QString ChangeFileExt(const QString &path, const QString &extension);
// Where the settings file named fileName lives: beside the program when it is
// there already or that folder is writable (portable use), otherwise in the
// user's configuration folder of the program.
QString SettingsFilePath(const QString &fileName);

// The system's interface language as Windows primary and sub-language ids,
// so that the language choice reads the same numbers everywhere.
struct SystemLanguage {
    int Primary = 0;
    int Sub = 0;
};
SystemLanguage SystemDefaultLanguage();

} // namespace Platform
