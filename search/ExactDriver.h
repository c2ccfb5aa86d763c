#pragma once
// The driver for identical contents and for names-only searches.

#include "search/SearchContext.h"

int ExactDriver(const SearchOptions &options, RunOutcome &outcome);
