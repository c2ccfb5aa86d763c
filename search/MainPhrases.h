#pragma once
// Messages of the main window, also shown by the search run's engine steps.

#include "lang/MultiLingua.h"

const TMLStringList &MainFormPhrases();
