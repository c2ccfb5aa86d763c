#include "search/FileSearchUnit.h"

#include "compare/FilterUnit.h"
#include "platform/Platform.h"
#include "run/RunControl.h"
#include "search/PairwiseLoop.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <cstring>

namespace {
FileList TheTable;

constexpr std::size_t InitialCapacity = 40000;
constexpr int MessageInterval = 256;

QCollator FolderCollator() {
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// One collator per scan of a base folder rather than per subfolder.
const QCollator &SubfolderCollator() {
    static thread_local QCollator collator = FolderCollator();
    static thread_local QLocale locale;
    if (locale != QLocale()) {
        locale = QLocale();
        collator = FolderCollator();
    }
    return collator;
}

bool IsExcluded(quint64 device, quint64 inode) {
    const std::vector<FileIdentity> &excluded = Context().ExcludedFiles;
    return std::find(excluded.begin(), excluded.end(), FileIdentity{device, inode}) !=
           excluded.end();
}

bool BeginsWithAny(const QString &key, const QStringList &prefixes) {
    for (const QString &prefix : prefixes)
        if (key.startsWith(prefix))
            return true;
    return false;
}

// Adds the files of the open folder to the table and collects its subfolders.
void EnumerateFolder(Platform::FolderReader &reader, QStringList &subfolders) {
    SearchContext &c = Context();
    const QString &folder = reader.Path();
    // Files of a folder or with a name beyond the platform's limits are passed
    // over; nothing could open them reliably.
    const bool tooLong = folder.size() > Platform::MaxFolderLength();
    const QString key = Platform::FolderKey(folder);
    const bool locked =
        BeginsWithAny(key, c.SystemFolderKeys) || BeginsWithAny(key, c.ProgramFolderKeys);
    const QString relativeFolder = folder.mid(c.CommonBaseFolder.size());

    Platform::DirEntry entry;
    bool usable = false;
    int counter = 0;
    while (reader.Next(entry, usable)) {
        if (++counter % MessageInterval == 0) {
            ProcessMessages();
            if (StopOrTerminate())
                break;
        }
        if (!usable)
            continue;
        if (entry.IsFolder) {
            if (!entry.IsSystemFolder)
                subfolders.append(entry.Name);
            continue;
        }
        if (tooLong || entry.Size < 1)
            continue;
        if (!FilterPassesSize(entry.Size / 1024) || !FilterPassesExtension(ExtensionOf(entry.Name)))
            continue;
        if (entry.Name.size() + folder.size() >= Platform::MaxPathLength())
            continue;
        if (!c.ExcludedFiles.empty() && IsExcluded(entry.Device, entry.Inode))
            continue;
        auto record = std::make_unique<FileRecord>();
        record->Size = entry.Size;
        record->Attributes = entry.Attributes;
        record->WriteTime = entry.WriteTime;
        record->WriteTimeExtraNs = entry.WriteTimeExtraNs;
        record->ChangeTime = entry.ChangeTime;
        record->Device = entry.Device;
        record->Inode = entry.Inode;
        const bool protectedFile =
            entry.Attributes & (Platform::AttrReadOnly | Platform::AttrSystem);
        record->Mark = (locked || protectedFile) ? StayNoDelete : Stay;
        // Exactly as long as needed: a hundred thousand texts with spare room
        // would cost megabytes.
        QString text;
        text.reserve(relativeFolder.size() + entry.Name.size());
        text.append(relativeFolder).append(entry.Name);
        TheTable.push_back({std::move(text), std::move(record)});
    }
}
} // namespace

FileList &FileTable() {
    return TheTable;
}

QString FullPathOf(const FileEntry &entry) {
    return Context().CommonBaseFolder + entry.Text;
}

QString ExtensionOf(const QString &name) {
    const qsizetype slash = name.lastIndexOf(Platform::PathDelimiter());
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? name.mid(dot) : QString();
}

void ClearFileTable() {
    FileList fresh;
    fresh.reserve(InitialCapacity);
    TheTable.swap(fresh);
}

namespace {
// A folder the scan could not open, or whose entries it could not look at:
// the user learns that its files are missing from the result.
void NoteUnsearched(const QString &folder, const QString &reason) {
    if (!reason.isEmpty())
        Host().ShowNote(GetPhraseParam(FileSearchPhrases(), 32, folder) + QStringLiteral(" (") +
                        reason + QLatin1Char(')'));
}

// The status line and the chance to stop, before a folder is opened.
bool BeginFolder(const QString &folder) {
    ShowStatus(Context().ScanPrefix + folder);
    ProcessMessages();
    return !StopOrTerminate();
}

// Lists the folder (nothing when it could not be opened), then scans its
// subfolders in locale order, each opened inside this one.
void ScanOpenFolder(Platform::FolderReader &reader) {
    QStringList subfolders;
    if (reader.IsOpen())
        EnumerateFolder(reader, subfolders);
    NoteUnsearched(reader.Path(), reader.FailureReason());
    WaitWhilePaused();
    if (StopOrTerminate() || !Context().IncludeSubfolders)
        return;

    const QCollator &collator = SubfolderCollator();
    std::sort(subfolders.begin(), subfolders.end(),
              [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    for (const QString &name : subfolders) {
        const QString path = reader.Path() + name + Platform::PathDelimiter();
        if (BeginFolder(path)) {
            Platform::FolderReader child;
            if (child.OpenChild(reader, name))
                ScanOpenFolder(child);
            else
                NoteUnsearched(path, child.FailureReason());
        }
        if (RunState() == RunStateValue::StopRequested)
            break;
    }
}
} // namespace

void ScanFolder(const QString &folder) {
    if (!BeginFolder(folder))
        return;
    Platform::FolderReader reader;
    if (reader.Open(folder))
        ScanOpenFolder(reader);
    else
        NoteUnsearched(folder, reader.FailureReason());
}

bool AddCertainFile(const QString &path, bool requireExisting) {
    auto record = std::make_unique<FileRecord>();
    record->Mark = Virtual;
    if (path.contains(Platform::PathDelimiter())) {
        const Platform::FileInfo info = Platform::StatPath(path, false);
        if (info.Exists && info.IsFile && !IsExcluded(info.Device, info.Inode)) {
            record->Mark = Stay;
            record->Size = info.Size;
            record->Attributes = info.Attributes;
            record->WriteTime = info.WriteTime;
            record->WriteTimeExtraNs = info.WriteTimeExtraNs;
            record->ChangeTime = info.ChangeTime;
            record->Device = info.Device;
            record->Inode = info.Inode;
        } else if (requireExisting) {
            return false;
        }
    }
    TheTable.insert(TheTable.begin(), FileEntry{path, std::move(record)});
    return true;
}

namespace {
// Sorting a table of a hundred thousand files takes a noticeable moment:
// events are let through every so many comparisons, so that the window stays
// alive. A stop requested meanwhile takes effect once the table is sorted.
constexpr unsigned SortPollInterval = 8192;

bool PollDuringSort(unsigned &steps) {
    if (++steps % SortPollInterval == 0)
        ProcessMessages();
    return true;
}
} // namespace

// The ASCII start of the two texts is compared in place: folding a character
// costs Qt a table look-up that plain letters do not need. From the first
// other character on, Qt compares the rest; a surrogate pair is never split,
// as its first half is not ASCII.
int CompareCaseInsensitive(const QString &a, const QString &b) {
    const QChar *p = a.constData();
    const QChar *q = b.constData();
    const qsizetype n = qMin(a.size(), b.size());
    qsizetype k = 0;
    // Paths share long starts; characters equal as they are are equal folded,
    // so those are passed over four at a time.
    while (k + 4 <= n && std::memcmp(p + k, q + k, 4 * sizeof(QChar)) == 0)
        k += 4;
    if (k > 0 && p[k - 1].isHighSurrogate())
        --k; // a pair is folded whole
    for (; k < n; ++k) {
        char16_t x = p[k].unicode(), y = q[k].unicode();
        if (x >= 0x80 || y >= 0x80)
            break;
        if (x >= 'A' && x <= 'Z')
            x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z')
            y += 'a' - 'A';
        if (x != y)
            return x < y ? -1 : 1;
    }
    return QStringView(a).mid(k).compare(QStringView(b).mid(k), Qt::CaseInsensitive);
}

void SortFileTable() {
    // Ties are broken by the exact text so that every run gives the same order.
    // Without a locale (C, POSIX) the order is that of the case-folded text,
    // compared in place; otherwise the collator's keys of the case-folded
    // text, because its own case-insensitivity is not honoured everywhere.
    std::vector<std::size_t> order(TheTable.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    auto tieBreak = [&](std::size_t a, std::size_t b) {
        return TheTable[a].Text < TheTable[b].Text;
    };
    unsigned steps = 0;
    if (QLocale().language() == QLocale::C) {
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            PollDuringSort(steps);
            const int c = CompareCaseInsensitive(TheTable[a].Text, TheTable[b].Text);
            return c != 0 ? c < 0 : tieBreak(a, b);
        });
    } else {
        const QCollator collator = FolderCollator();
        std::vector<QCollatorSortKey> keys;
        keys.reserve(TheTable.size());
        for (const FileEntry &entry : TheTable) {
            keys.push_back(collator.sortKey(entry.Text.toCaseFolded()));
            PollDuringSort(steps);
        }
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            PollDuringSort(steps);
            const int c = keys[a].compare(keys[b]);
            return c != 0 ? c < 0 : tieBreak(a, b);
        });
    }
    FileList sorted;
    sorted.reserve(TheTable.size());
    for (std::size_t i : order)
        sorted.push_back(std::move(TheTable[i]));
    TheTable.swap(sorted);
}

quint64 TotalSize() {
    quint64 total = 0;
    for (const FileEntry &entry : TheTable)
        if (entry.Record)
            total += quint64(entry.Record->Size);
    return total;
}

int CountInBlocks() {
    int count = 0;
    for (const FileEntry &entry : TheTable)
        if (entry.Record && entry.Record->Group >= 0)
            ++count;
    return count;
}

void FreeRecords(FileList &list) {
    FileList().swap(list);
}

QString SizeText(qint64 kilobytes) {
    const QLocale locale;
    if (kilobytes < 1024)
        return locale.toString(std::max<qint64>(kilobytes, 1)) + QStringLiteral(" KB");
    const double megabytes = double(kilobytes) / 1024.0;
    if (megabytes < 1024.0)
        return locale.toString(megabytes, 'f', 1) + QStringLiteral(" MB");
    return locale.toString(megabytes / 1024.0, 'f', 1) + QStringLiteral(" GB");
}
