#pragma once
// Reading many files on a few threads while the calling thread keeps the run
// responsive: it lets events through and acts on stop, pause and cancel at once.
// What each read learns must be a property of its file alone, so the order in
// which the threads happen to take them changes nothing.

#include "platform/Platform.h"

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <cstddef>
#include <functional>

// What one worker thread owns while it reads.
class ReadWorkspace {
public:
    ReadWorkspace(char *buffer, qint64 bufferSize, const std::atomic<bool> &pause,
                  const std::atomic<bool> &cancel)
        : Buffer(buffer), BufferSize(bufferSize), Pause(pause), Cancel(cancel) {}

    char *const Buffer;
    const qint64 BufferSize;
    // Room for one path at a time: all paths at once would cost megabytes.
    QString Path;
    // Files are handed out in table order, so most lie in the folder of the
    // one before.
    Platform::FolderCache Folders;

    // Holds the worker while the run is paused; false once the run was stopped,
    // so that a long read can give up between two pieces.
    bool GoOn() const;

private:
    const std::atomic<bool> &Pause;
    const std::atomic<bool> &Cancel;
};

// Calls read(m, workspace) once for every m below count, on up to four
// threads, each with a buffer of bufferSize bytes. False when the run was
// stopped before every read was done; reads that did not run left their
// results untouched.
bool ReadOnWorkers(std::size_t count, qint64 bufferSize,
                   const std::function<void(std::size_t, ReadWorkspace &)> &read);
