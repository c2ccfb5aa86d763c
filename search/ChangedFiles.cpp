#include "search/ChangedFiles.h"

#include "platform/Platform.h"
#include "run/RunControl.h"
#include "search/FileSearchUnit.h"
#include "search/PairwiseLoop.h"

#include <vector>

namespace {
constexpr int MessageInterval = 256;

bool StillAsScanned(const FileEntry &entry) {
    const FileRecord &r = *entry.Record;
    const Platform::FileInfo now = Platform::StatPath(FullPathOf(entry), false);
    return now.IsFile && now.Size == r.Size && now.WriteTime == r.WriteTime &&
           now.Device == r.Device && now.Inode == r.Inode;
}

void LeaveBlock(FileRecord &record) {
    record.Group = -1;
    record.Percent = 0;
}
} // namespace

int LeaveOutChangedFiles() {
    FileList &table = FileTable();
    const int n = int(table.size());
    // Each member was compared with its head, at its own time, and never with
    // the other members. Once the head has changed, nothing says when: the
    // members may each equal a different state of it, so none of them is
    // known to match any other, and the whole block is given up.
    std::vector<char> headChanged(std::size_t(n), 0);
    int left = 0;
    for (int k = 0; k < n; ++k) {
        if (k % MessageInterval == 0)
            ProcessMessages();
        FileRecord *r = table[std::size_t(k)].Record.get();
        if (!r || r->Group < 0 || r->Mark == Virtual || StillAsScanned(table[std::size_t(k)]))
            continue;
        Host().ShowNote(GetPhraseParam(FileSearchPhrases(), 33, FullPathOf(table[std::size_t(k)])));
        if (r->Group == k) {
            headChanged[std::size_t(k)] = 1;
        } else {
            LeaveBlock(*r);
            ++left;
        }
    }
    std::vector<int> members(std::size_t(n), 0);
    for (int k = 0; k < n; ++k)
        if (const FileRecord *r = table[std::size_t(k)].Record.get(); r && r->Group >= 0)
            members[std::size_t(r->Group)] += r->Group != k;
    for (int k = 0; k < n; ++k) {
        FileRecord *r = table[std::size_t(k)].Record.get();
        if (!r || r->Group < 0)
            continue;
        const std::size_t head = std::size_t(r->Group);
        if (headChanged[head] || members[head] == 0) {
            left += r->Group != k;
            LeaveBlock(*r);
        }
    }
    return left;
}
