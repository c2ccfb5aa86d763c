#pragma once
// Messages of the main window, also shown by the search run's engine steps.

#include "lang/MultiLingua.h"
#include "search/SearchRequest.h"

const TMLStringList &MainFormPhrases();

// The main window's phrase that refuses the certain file, 0 for None; both
// hosts show the same message for the same problem.
int CertainFileProblemPhrase(CertainFileProblem problem);
