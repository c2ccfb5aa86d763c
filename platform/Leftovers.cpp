#include "platform/Leftovers.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace Platform {

namespace {
// Two files of the fingerprint store and one report at a time, with room to
// spare. Fixed storage: a signal handler may neither allocate nor lock.
constexpr int SlotCount = 16;

struct Slot {
    std::atomic<bool> Taken{false};
    std::atomic<bool> Ready{false};
    char Path[PATH_MAX] = {};
};

Slot Slots[SlotCount];

static_assert(std::atomic<bool>::is_always_lock_free);
} // namespace

void LeftoverMark::Set(const QByteArray &path) {
    Forget();
    if (path.isEmpty() || path.size() >= PATH_MAX)
        return;
    for (int k = 0; k < SlotCount; ++k) {
        bool expected = false;
        if (!Slots[k].Taken.compare_exchange_strong(expected, true))
            continue;
        std::memcpy(Slots[k].Path, path.constData(), std::size_t(path.size()) + 1);
        Slots[k].Ready.store(true);
        Slot = k;
        return;
    }
}

void LeftoverMark::Forget() {
    if (Slot < 0)
        return;
    Slots[Slot].Ready.store(false);
    Slots[Slot].Taken.store(false);
    Slot = -1;
}

void RemoveLeftovers() {
    for (Slot &slot : Slots)
        if (slot.Ready.exchange(false))
            ::unlink(slot.Path);
}

void EndBySignal(int signal) {
    RemoveLeftovers();
    // The signal is blocked while its handler runs: it takes effect, with its
    // default action, as soon as the handler returns.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace Platform
