#pragma once
// Chooses the driver for the options of the run, lets it compare the scanned
// files and builds the match list from what it found.

#include "search/SearchContext.h"

// The number of files that joined a block as members. includeHundred: a
// similarity run also reports identical copies.
int RunCompare(RunOutcome &outcome, bool includeHundred = true);
