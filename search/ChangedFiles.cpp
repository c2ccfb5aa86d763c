#include "search/ChangedFiles.h"

#include "platform/Platform.h"
#include "run/RunControl.h"
#include "search/FileSearchUnit.h"
#include "search/PairwiseLoop.h"
#include "search/WorkerReads.h"

#include <vector>

namespace {
constexpr int MessageInterval = 256;

bool StillAsScanned(const FileRecord &r, const Platform::FileInfo &now) {
    return now.IsFile && now.Size == r.Size && now.WriteTime == r.WriteTime &&
           now.WriteTimeExtraNs == r.WriteTimeExtraNs && now.Device == r.Device &&
           now.Inode == r.Inode;
}

bool InAnyBlock(const FileRecord *r) {
    return r && r->Group >= 0 && r->Mark != Virtual;
}

// Which members of blocks changed, looked at on the worker threads: tens of
// thousands of members would otherwise wait for one another's paths. A run
// stopped by the user still checks every member, on this thread.
std::vector<char> ChangedMembers(const FileList &table) {
    enum : char { Unknown, Same, Changed };
    std::vector<int> members;
    for (int k = 0; k < int(table.size()); ++k)
        if (InAnyBlock(table[std::size_t(k)].Record.get()))
            members.push_back(k);
    std::vector<char> state(members.size(), Unknown);
    const QString base = Context().CommonBaseFolder;
    ReadOnWorkers(members.size(), 1, [&](std::size_t m, ReadWorkspace &workspace) {
        const FileEntry &entry = table[std::size_t(members[m])];
        workspace.Path.resize(0);
        workspace.Path.append(base).append(entry.Text);
        state[m] =
            StillAsScanned(*entry.Record, Platform::StatPathIn(workspace.Folders, workspace.Path))
                ? Same
                : Changed;
    });
    std::vector<char> changed(table.size(), 0);
    Platform::FolderCache folders;
    for (std::size_t m = 0; m < members.size(); ++m) {
        const FileEntry &entry = table[std::size_t(members[m])];
        if (state[m] == Unknown)
            state[m] =
                StillAsScanned(*entry.Record, Platform::StatPathIn(folders, FullPathOf(entry)))
                    ? Same
                    : Changed;
        changed[std::size_t(members[m])] = state[m] == Changed;
    }
    return changed;
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
    const std::vector<char> changed = ChangedMembers(table);
    int left = 0;
    for (int k = 0; k < n; ++k) {
        if (k % MessageInterval == 0)
            ProcessMessages();
        FileRecord *r = table[std::size_t(k)].Record.get();
        if (!changed[std::size_t(k)])
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
