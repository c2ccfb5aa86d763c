#pragma once
// What removing a file asks of the system: renaming it within its file system,
// deleting it, a link left in its place, the trash, and which file system a
// path lies on. Every call takes names by their exact bytes (see EncodeName)
// and never replaces anything that is already there.

#include <QString>

namespace Platform {

// Why a call failed, in the terms the removal reports.
enum class FileError {
    None,
    Missing,         // the file (or a folder on its way) is not there
    Exists,          // something is in the place already
    OtherFileSystem, // a rename would have to copy
    NoPermission,    // refused by permissions or a read-only file system
    NotAFile,        // a folder or anything else that is no regular file
    Other,
};

// Renames within one file system; never copies and never replaces whatever is
// at the target, so the file keeps its identity and nothing is overwritten.
FileError RenameWithoutReplacing(const QString &from, const QString &to);
// Deletes a regular file or a link, never a folder.
FileError DeleteFile(const QString &path);
// A symbolic link at linkPath that points to target; nothing that is there
// already is replaced.
FileError MakeSymbolicLink(const QString &target, const QString &linkPath);
// Where a symbolic link points; empty when the path is no link.
QString SymbolicLinkTarget(const QString &path);
// Makes the folder and every missing folder above it. A part that exists must
// be a real folder: a link on the way is refused, so nothing lands elsewhere.
FileError MakeFolderChain(const QString &folder);
// Removes a folder only when it is empty.
bool RemoveEmptyFolder(const QString &folder);
// Files the system itself keeps from being renamed or deleted (immutable or
// append-only); only an administrator can change that, so it is not tried.
bool RemovalLockedBySystem(const QString &path);

// The mount point of the file system holding the path, with a trailing
// delimiter; empty when it cannot be told.
QString MountPointOf(const QString &path);
// Whether the file system holding the path keeps its files on this machine:
// network file systems (nfs, cifs, sshfs, ...) do not.
bool IsLocalFileSystem(const QString &path);
// The user's home folder with every link resolved, with a trailing delimiter.
QString HomeFolder();

// Moves the file into the desktop's trash by renaming it there; false when
// there is no trash on its file system the file could be renamed into. On
// success pathInTrash is where it now lies.
bool MoveToTrash(const QString &path, QString &pathInTrash);
// The information file that records where a file in the trash came from.
QString TrashInfoFileOf(const QString &pathInTrash);
// The original path a trash information file records, made absolute; empty
// when the file is missing or unreadable.
QString TrashInfoOriginalPath(const QString &infoFile);

} // namespace Platform
