#include "search/WorkerReads.h"

#include "run/RunControl.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

bool ReadWorkspace::GoOn() const {
    while (Pause && !Cancel)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return !Cancel;
}

bool ReadOnWorkers(std::size_t count, qint64 bufferSize,
                   const std::function<void(std::size_t, ReadWorkspace &)> &read) {
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::atomic<bool> pause{false};
    std::atomic<bool> cancel{false};
    auto work = [&] {
        const std::unique_ptr<char[]> buffer(new char[std::size_t(bufferSize)]);
        ReadWorkspace workspace(buffer.get(), bufferSize, pause, cancel);
        for (;;) {
            if (!workspace.GoOn())
                return;
            const std::size_t m = next.fetch_add(1);
            if (m >= count)
                return;
            read(m, workspace);
            done.fetch_add(1);
        }
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads && t < count; ++t)
        workers.emplace_back(work);
    while (done.load() < count) {
        ProcessMessages();
        if (RunState() == RunStateValue::Paused) {
            pause = true;
            const bool goesOn = WaitWhilePaused();
            pause = false;
            if (!goesOn)
                break;
        }
        if (StopOrTerminate())
            break;
        Host().Sleep(2);
    }
    const bool complete = done.load() == count;
    cancel = true;
    for (std::thread &worker : workers)
        worker.join();
    return complete;
}
