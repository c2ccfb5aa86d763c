#include "search/MatchList.h"

#include "run/RunControl.h"

namespace {
FileList TheMatchList;
int TheWidth = 0;
} // namespace

FileList &MatchList() {
    return TheMatchList;
}

void ClearMatchList() {
    FreeRecords(TheMatchList);
    TheWidth = 0;
}

int MatchListWidth() {
    return TheWidth;
}

int BuildMatchList() {
    FileList &table = FileTable();
    int widestWidth = 0;
    qsizetype widestLength = 0;
    std::size_t colorIndex = 0;
    auto move = [&](std::size_t from, bool isHead, quint32 color, int headIndex) {
        FileEntry &entry = table[from];
        entry.Record->BlockColor = color;
        entry.Record->IsBlockHead = isHead;
        entry.Record->Group = headIndex < 0 ? int(TheMatchList.size()) : headIndex;
        // A text no longer than half the widest one cannot be wider.
        if (entry.Text.size() > widestLength / 2) {
            const int width = Host().TextWidth(entry.Text);
            if (width > widestWidth) {
                widestWidth = width;
                widestLength = entry.Text.size();
            }
        }
        TheMatchList.push_back(std::move(entry));
    };
    // Members follow their head in table order. One pass links each head to
    // its members: next[head] is its first member, next[member] the one after.
    const int n = int(table.size());
    std::vector<int> next(std::size_t(n), -1), tail(std::size_t(n), -1);
    for (int j = 0; j < n; ++j) {
        const FileRecord *r = table[std::size_t(j)].Record.get();
        if (!r || r->Group < 0 || r->Group == j)
            continue;
        const int head = r->Group;
        const int last = tail[std::size_t(head)];
        next[std::size_t(last < 0 ? head : last)] = j;
        tail[std::size_t(head)] = j;
    }
    TheMatchList.reserve(std::size_t(CountInBlocks()));
    for (int i = 0; i < n; ++i) {
        const FileRecord *r = table[std::size_t(i)].Record.get();
        if (!r || r->Group < 0 || r->Group != i)
            continue;
        const quint32 color = BlockColors[colorIndex];
        const int h = int(TheMatchList.size());
        move(std::size_t(i), true, color, -1);
        for (int j = next[std::size_t(i)]; j >= 0; j = next[std::size_t(j)])
            move(std::size_t(j), false, color, h);
        colorIndex = (colorIndex + 1) % BlockColors.size();
    }
    FreeRecords(table);
    TheWidth = widestWidth + 20;
    return TheWidth;
}
