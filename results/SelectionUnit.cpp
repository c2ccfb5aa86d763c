#include "results/SelectionUnit.h"

#include "platform/Platform.h"
#include "results/ResultListUnit.h"
#include "search/MatchList.h"

#include <QCollator>
#include <QLocale>
#include <QSet>
#include <algorithm>

namespace {
QStringList TheKeepFolders;
QStringList TheDeleteFolders;
SelectionRules TheSelectionOptions;

FileRecord *RecordOf(int row) {
    return MatchList()[std::size_t(row)].Record.get();
}

bool IsKept(quint8 mark) {
    return mark == Stay || mark == StayNoDelete;
}

// Calls f(first, last) for each block: a row whose Group is its own index
// starts one, the following rows of that Group belong to it.
template <typename F> void ForEachBlock(F f) {
    const int rows = int(MatchList().size());
    for (int i = 0; i < rows;) {
        const FileRecord *head = RecordOf(i);
        if (!head || head->Group != i) {
            ++i;
            continue;
        }
        int last = i;
        while (last + 1 < rows && RecordOf(last + 1) && RecordOf(last + 1)->Group == i)
            ++last;
        f(i, last);
        i = last + 1;
    }
}

// The first kept row of a block, null when there is none; oneFile tells
// whether all kept rows are names of a single file.
const FileRecord *KeptFile(int first, int last, bool &oneFile) {
    const FileRecord *kept = nullptr;
    oneFile = true;
    for (int r = first; r <= last; ++r) {
        const FileRecord *record = RecordOf(r);
        if (!record || !IsKept(record->Mark))
            continue;
        if (!kept)
            kept = record;
        else if (!SameFile(*kept, *record))
            oneFile = false;
    }
    return kept;
}

// Where all kept rows are names of one file, none of its other names may go:
// removing one frees no room, and no other file of the block would stay for it.
void KeepOtherNamesOfTheOnlyCopy(int first, int last) {
    bool oneFile = true;
    const FileRecord *kept = KeptFile(first, last, oneFile);
    if (!kept || !oneFile)
        return;
    for (int r = first; r <= last; ++r)
        if (FileRecord *record = RecordOf(r);
            record && record->Mark == Delete && SameFile(*kept, *record))
            record->Mark = Stay;
}

bool ContainsKey(const QStringList &sorted, const QString &key) {
    return std::binary_search(sorted.begin(), sorted.end(), key);
}

void InsertKey(QStringList &sorted, const QString &key) {
    const auto at = std::lower_bound(sorted.begin(), sorted.end(), key);
    if (at == sorted.end() || *at != key)
        sorted.insert(at, key);
}

void RemoveKey(QStringList &sorted, const QString &key) {
    const auto at = std::lower_bound(sorted.begin(), sorted.end(), key);
    if (at != sorted.end() && *at == key)
        sorted.erase(at);
}

QString FolderOfPath(const QString &path) {
    return path.left(path.lastIndexOf(Platform::PathDelimiter()) + 1);
}

QString NameOfPath(const QString &path) {
    return path.mid(path.lastIndexOf(Platform::PathDelimiter()) + 1);
}

// The order of a folder list people read: letter case and the locale's
// accents aside, ties broken by the exact text so each run is the same.
void SortForReading(std::vector<FolderItem> &items) {
    const auto exact = [](const FolderItem &a, const FolderItem &b) { return a.Folder < b.Folder; };
    if (QLocale().language() == QLocale::C) {
        std::sort(items.begin(), items.end(), [&](const FolderItem &a, const FolderItem &b) {
            const int c = a.Folder.compare(b.Folder, Qt::CaseInsensitive);
            return c != 0 ? c < 0 : exact(a, b);
        });
        return;
    }
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::pair<QCollatorSortKey, FolderItem>> keyed;
    keyed.reserve(items.size());
    for (FolderItem &item : items)
        keyed.emplace_back(collator.sortKey(item.Folder.toCaseFolded()), std::move(item));
    std::sort(keyed.begin(), keyed.end(), [&](const auto &a, const auto &b) {
        const int c = a.first.compare(b.first);
        return c != 0 ? c < 0 : exact(a.second, b.second);
    });
    for (std::size_t k = 0; k < items.size(); ++k)
        items[k] = std::move(keyed[k].second);
}

// ---------------------------------------------------------------- rules per block

void FolderRuleForBlock(int first, int last) {
    bool survivor = false;
    int candidate = -1;
    for (int r = first; r <= last; ++r) {
        FileRecord *record = RecordOf(r);
        if (!record || !(IsKept(record->Mark) || record->Mark == Delete))
            continue;
        const QString key = Platform::FolderKey(RowFolder(r));
        if (ContainsKey(TheKeepFolders, key)) {
            record->Mark = StayNoDelete;
            survivor = true;
        } else if (ContainsKey(TheDeleteFolders, key)) {
            record->Mark = Delete;
        } else if (record->Mark == Delete) {
            // Marked by hand where no folder choice applies: the one to spare.
            candidate = r;
        } else {
            survivor = true;
        }
    }
    if (!survivor) {
        int spare = candidate;
        for (int r = first; spare < 0 && r <= last; ++r)
            if (RecordOf(r) && RecordOf(r)->Mark == Delete)
                spare = r;
        if (spare >= 0)
            RecordOf(spare)->Mark = Stay;
    }
    KeepOtherNamesOfTheOnlyCopy(first, last);
}

int Depth(const QString &pathText) {
    return int(pathText.count(Platform::PathDelimiter()));
}

void PropertyRuleForBlock(const SelectionRules &rules, int first, int last) {
    std::vector<int> candidates;
    bool fixed = false;
    for (int r = first; r <= last; ++r) {
        if (const FileRecord *record = RecordOf(r)) {
            if (record->Mark == Stay)
                candidates.push_back(r);
            fixed = fixed || record->Mark == StayNoDelete;
        }
    }
    // A rule that orders the files makes a fixed file the one that stays;
    // the copy rule alone only says which names look like copies.
    const bool ordering = rules.Age.Rule != 0 || rules.Size.Rule != 0 || rules.Depth.Rule != 0 ||
                          rules.Copy.Rule == 0;
    if (fixed && ordering) {
        for (int r : candidates)
            RecordOf(r)->Mark = Delete;
        KeepOtherNamesOfTheOnlyCopy(first, last);
        return;
    }
    if (candidates.size() < 2)
        return;

    struct Scored {
        int Row;
        int Points;
    };
    std::vector<Scored> scored;
    for (int r : candidates)
        scored.push_back({r, 0});
    const auto award = [&](const SelectionRule &rule) {
        const std::size_t n = scored.size();
        for (std::size_t k = 0; k < n; ++k)
            if ((rule.Rule == 1 && k + 1 < n) || (rule.Rule == 2 && k > 0))
                scored[k].Points += rule.Points;
    };
    const auto sortBy = [&](auto value) {
        std::stable_sort(scored.begin(), scored.end(), [&](const Scored &a, const Scored &b) {
            return value(a.Row) < value(b.Row);
        });
    };
    const FileList &list = MatchList();
    if (rules.Age.Rule != 0) {
        sortBy([](int r) { return RecordOf(r)->WriteTime; });
        award(rules.Age);
    }
    if (rules.Size.Rule != 0) {
        sortBy([](int r) { return RecordOf(r)->Size; });
        award(rules.Size);
    }
    if (rules.Depth.Rule != 0) {
        sortBy([&](int r) { return Depth(list[std::size_t(r)].Text); });
        award(rules.Depth);
    }
    if (rules.Copy.Rule == 1)
        for (Scored &s : scored)
            if (LooksLikeCopy(NameOfPath(list[std::size_t(s.Row)].Text)))
                s.Points += rules.Copy.Points;

    std::stable_sort(scored.begin(), scored.end(),
                     [](const Scored &a, const Scored &b) { return a.Points > b.Points; });
    for (std::size_t k = 0; k + 1 < scored.size(); ++k)
        if (scored[k].Points > 0)
            RecordOf(scored[k].Row)->Mark = Delete;
    KeepOtherNamesOfTheOnlyCopy(first, last);
}
} // namespace

void ResetSelections() {
    TheKeepFolders.clear();
    TheDeleteFolders.clear();
    TheSelectionOptions = SelectionRules();
}

// ---------------------------------------------------------------- blocks

bool SameFile(const FileRecord &a, const FileRecord &b) {
    return a.Inode != 0 && a.Device == b.Device && a.Inode == b.Inode;
}

bool BlockKeepsACopy(int first, int last) {
    bool oneFile = true;
    const FileRecord *kept = KeptFile(first, last, oneFile);
    for (int r = first; r <= last; ++r) {
        const FileRecord *record = RecordOf(r);
        if (record && record->Mark == Delete && (!kept || (oneFile && SameFile(*kept, *record))))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- row commands

bool KeepOnlyThisFile(int row) {
    if (row < 0 || row >= int(MatchList().size()))
        return false;
    FileRecord *kept = RecordOf(row);
    // A file that is gone, or a name without a file, cannot be the one that
    // stays for the others.
    if (!kept || kept->Group < 0 || kept->Mark == Deleted || kept->Mark == Virtual)
        return false;
    const BlockRows block = BlockRange(row);
    for (int r = block.First; r <= block.Last; ++r) {
        FileRecord *record = RecordOf(r);
        if (!record || record == kept || record->Mark == Deleted || record->Mark == Virtual)
            continue;
        if (!SameFile(*kept, *record))
            record->Mark = Delete;
        else if (record->Mark == Delete)
            record->Mark = Stay;
    }
    kept->Mark = StayNoDelete;
    return true;
}

bool RemoveSelectionsFrom(int row) {
    bool changed = false;
    for (int r = row; row >= 0 && r < int(MatchList().size()); ++r)
        if (FileRecord *record = RecordOf(r); record && record->Mark == Delete) {
            record->Mark = Stay;
            changed = true;
        }
    return changed;
}

// ---------------------------------------------------------------- folders

const QStringList &KeepFolders() {
    return TheKeepFolders;
}

const QStringList &DeleteFolders() {
    return TheDeleteFolders;
}

QString RowFolder(int row) {
    return FolderOfPath(RowPath(row));
}

void SetFolderToDelete(const QString &folder) {
    const QString key = Platform::FolderKey(folder);
    RemoveKey(TheKeepFolders, key);
    InsertKey(TheDeleteFolders, key);
}

void SetFolderNoDelete(const QString &folder) {
    const QString key = Platform::FolderKey(folder);
    RemoveKey(TheDeleteFolders, key);
    InsertKey(TheKeepFolders, key);
}

void ApplyFolderRule() {
    ForEachBlock(FolderRuleForBlock);
}

std::vector<FolderItem> ResultFolders() {
    std::vector<FolderItem> items;
    QSet<QString> seen;
    for (int row = 0; row < int(MatchList().size()); ++row) {
        if (!RecordOf(row))
            continue;
        const QString folder = RowFolder(row);
        const QString key = Platform::FolderKey(folder);
        if (seen.contains(key))
            continue;
        seen.insert(key);
        quint8 state = FolderDefault;
        if (ContainsKey(TheKeepFolders, key))
            state = FolderNoDelete;
        else if (ContainsKey(TheDeleteFolders, key))
            state = FolderToDelete;
        items.push_back({folder, state, 0});
    }
    SortForReading(items);
    ApplyHierarchyColors(items);
    return items;
}

void ApplyHierarchyColors(std::vector<FolderItem> &items) {
    int family = 0;
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (k == 0) {
            items[k].Color = HierarchyBase[family];
            continue;
        }
        // Plain addition on the 24-bit value: a carry runs into the next channel.
        items[k].Color = std::min<quint32>(items[k - 1].Color + HierarchyStep[family], 0xFFFFFF);
        if (!items[k].Folder.startsWith(items[k - 1].Folder)) {
            family = 1 - family;
            items[k].Color = HierarchyBase[family];
        }
    }
}

void SetStateWithSubfolders(std::vector<FolderItem> &items, int index, quint8 state) {
    if (index < 0 || index >= int(items.size()))
        return;
    const QString top = Platform::FolderKey(items[std::size_t(index)].Folder);
    for (FolderItem &item : items)
        if (Platform::FolderKey(item.Folder).startsWith(top))
            item.State = state;
}

void MarkAllFoldersToDelete(std::vector<FolderItem> &items) {
    for (FolderItem &item : items)
        if (item.State == FolderDefault)
            item.State = FolderToDelete;
}

void MarkNoFolderToDelete(std::vector<FolderItem> &items) {
    for (FolderItem &item : items)
        if (item.State == FolderToDelete)
            item.State = FolderDefault;
}

void StoreFolderChoices(const std::vector<FolderItem> &items) {
    TheKeepFolders.clear();
    TheDeleteFolders.clear();
    for (const FolderItem &item : items) {
        if (item.State == FolderNoDelete)
            InsertKey(TheKeepFolders, Platform::FolderKey(item.Folder));
        else if (item.State == FolderToDelete)
            InsertKey(TheDeleteFolders, Platform::FolderKey(item.Folder));
    }
}

// ---------------------------------------------------------------- properties

SelectionRules &SelectionOptions() {
    return TheSelectionOptions;
}

int CopyNumber(const QString &name) {
    const qsizetype open = name.indexOf(QLatin1Char('('));
    if (open < 0 || open + 2 >= name.size() || name[open + 2] != QLatin1Char(')'))
        return 0;
    const QChar digit = name[open + 1];
    return digit >= QLatin1Char('0') && digit <= QLatin1Char('9') ? digit.unicode() - '0' : 0;
}

bool LooksLikeCopy(const QString &name) {
    if (CopyNumber(name) >= 1)
        return true;
    const QString upper = name.toUpper();
    if (upper.contains(QLatin1String("COPY")) || upper.contains(QLatin1String("KOPIE")))
        return true;
    const QString extension = ExtensionOf(upper).mid(1).left(15);
    if (extension.isEmpty())
        return false;
    return extension.startsWith(QLatin1Char('~')) || extension == QLatin1String("BAK") ||
           extension == QLatin1String("TMP") || extension == QLatin1String("PART");
}

void ApplyPropertyRules(const SelectionRules &rules) {
    for (int r = 0; r < int(MatchList().size()); ++r)
        if (FileRecord *record = RecordOf(r); record && record->Mark == Delete)
            record->Mark = Stay;
    ForEachBlock([&](int first, int last) { PropertyRuleForBlock(rules, first, last); });
}
