#include "search/SearchContext.h"

#include "platform/Platform.h"

namespace {
SearchContext TheContext;
bool Initialised = false;
} // namespace

SearchContext &Context() {
    if (!Initialised)
        ResetSearchContext();
    return TheContext;
}

void ResetSearchContext() {
    TheContext = SearchContext();
    TheContext.SystemFolderKeys = Platform::SystemFolderKeys();
    TheContext.ProgramFolderKeys = Platform::ProgramFolderKeys();
    Initialised = true;
}
