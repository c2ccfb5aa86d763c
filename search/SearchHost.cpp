#include "search/SearchHost.h"

#include "platform/Platform.h"

void SearchHost::Sleep(int ms) {
    Platform::SleepMs(ms);
}

namespace {
SearchHost SilentHost;
SearchHost *CurrentHost = &SilentHost;
} // namespace

SearchHost &Host() {
    return *CurrentHost;
}

void SetHost(SearchHost *host) {
    CurrentHost = host ? host : &SilentHost;
}

void ShowStatus(const QString &text) {
    CurrentHost->AddStatusLine(text);
}

void ProcessMessages() {
    CurrentHost->ProcessMessages();
}

bool Terminating() {
    return CurrentHost->Terminating();
}
