#pragma once
// Files the program makes for itself while it runs (the fingerprint store, a
// report not yet in its place) must not outlive it. Their owners remove them on
// every normal end; a signal that ends the program leaves the owners no chance,
// so each such file is also marked here, where a signal handler can remove it.

#include <QByteArray>

namespace Platform {

// Marks one file by its exact bytes for as long as the mark lives. A few
// files can be marked at a time; beyond that a mark is silently not kept.
class LeftoverMark {
public:
    LeftoverMark() = default;
    explicit LeftoverMark(const QByteArray &path) { Set(path); }
    ~LeftoverMark() { Forget(); }
    LeftoverMark(const LeftoverMark &) = delete;
    LeftoverMark &operator=(const LeftoverMark &) = delete;

    void Set(const QByteArray &path);
    // The file is gone or in its place and must no longer be removed.
    void Forget();

private:
    int Slot = -1;
};

// Removes every marked file. Safe in a signal handler.
void RemoveLeftovers();

// For a signal handler: removes every marked file, then ends the program the
// way the signal does by default.
void EndBySignal(int signal);

} // namespace Platform
