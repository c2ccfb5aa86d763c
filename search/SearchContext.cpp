#include "search/SearchContext.h"

#include "platform/Platform.h"
#include "search/SearchHost.h"

namespace {
SearchContext TheContext;

void SetDefaults(SearchContext &context) {
    context = SearchContext();
    context.WindowsFolderUpper = Platform::SystemFolderKeys();
    context.ProgramFilesFolderUpper = Platform::ProgramFolderKeys();
}

struct Initialiser {
    Initialiser() { SetDefaults(TheContext); }
} const Init;
} // namespace

SearchContext &Context() {
    return TheContext;
}

void ResetSearchContext() {
    SetDefaults(TheContext);
}

bool StopOrTerminate() {
    return TheContext.RunState == StopRequested || Terminating();
}
