#pragma once
// The file table: every file the scan admitted, with what the drivers learn
// about it. Entry texts are paths relative to CommonBaseFolder.

#include "search/SearchContext.h"

#include <QString>
#include <memory>
#include <vector>

struct FileRecord {
    qint64 Size = 0;
    quint32 Attributes = 0;
    qint64 WriteTime = 0; // 100-ns intervals since 1601, UTC
    quint32 QuickSum = 0; // 0 not computed
    qint32 ImageId = 0;   // 0 not computed, -1 no fingerprint
    qint32 Group = -1;    // head's index, -1 in no block
    quint8 Percent = 0;
    quint8 Mark = Stay;
    bool IsBlockHead = false;
    quint32 BlockColor = 0; // 0x00BBGGRR
    // The file could not be opened or read; it takes no further part in the run.
    bool Unreadable = false;
    quint8 WriteTimeExtraNs = 0; // what WriteTime's 100-ns steps leave out
    qint64 ChangeTime = 0;       // inode change, ns since 1970 (see Platform::FileInfo)
    // Identity of the file on disk, so two names of one file never pair up.
    quint64 Device = 0;
    quint64 Inode = 0;
};

struct FileEntry {
    QString Text;
    std::unique_ptr<FileRecord> Record; // null: an empty slot
};

using FileList = std::vector<FileEntry>;

FileList &FileTable();

void ClearFileTable();
void ScanFolder(const QString &folder);
bool AddCertainFile(const QString &path, bool requireExisting);
void SortFileTable();
// QString::compare(a, b, Qt::CaseInsensitive) in sign, faster on ASCII text;
// the order of the file table without a locale.
int CompareCaseInsensitive(const QString &a, const QString &b);
quint64 TotalSize();
int CountInBlocks();
void FreeRecords(FileList &list);
QString SizeText(qint64 kilobytes);

// Full path of a table entry.
QString FullPathOf(const FileEntry &entry);
// The file name's extension, dot included; empty when the name has no dot.
QString ExtensionOf(const QString &name);
