#include "run/RunControl.h"

#include <chrono>
#include <thread>

void SearchHost::Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace {
SearchHost SilentHost;
SearchHost *CurrentHost = &SilentHost;
RunStateValue CurrentRunState = RunStateValue::Idle;
} // namespace

SearchHost &Host() {
    return *CurrentHost;
}

void SetHost(SearchHost *host) {
    CurrentHost = host ? host : &SilentHost;
}

void ShowStatus(const QString &text) {
    CurrentHost->ShowStatus(text);
}

void ProcessMessages() {
    CurrentHost->ProcessMessages();
}

bool Terminating() {
    return CurrentHost->Terminating();
}

RunStateValue RunState() {
    return CurrentRunState;
}

void SetRunState(RunStateValue state) {
    CurrentRunState = state;
}

bool StopOrTerminate() {
    return CurrentRunState == RunStateValue::StopRequested || Terminating();
}

bool WaitWhilePaused() {
    while (CurrentRunState == RunStateValue::Paused && !Terminating()) {
        CurrentHost->Sleep(50);
        ProcessMessages();
    }
    return !StopOrTerminate();
}

void ResetRunControl() {
    CurrentHost = &SilentHost;
    CurrentRunState = RunStateValue::Idle;
}
