#include "search/WorkerReads.h"

#include "run/RunControl.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
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
    std::mutex mutex;
    std::condition_variable finished;
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
            if (done.fetch_add(1) + 1 == count) {
                const std::lock_guard<std::mutex> lock(mutex);
                finished.notify_one();
            }
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
        // Short reads end well within a poll: the last one wakes this thread.
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait_for(lock, std::chrono::milliseconds(2), [&] { return done.load() == count; });
    }
    const bool complete = done.load() == count;
    cancel = true;
    for (std::thread &worker : workers)
        worker.join();
    return complete;
}
