#pragma once
// The phrase lists of the units that show messages but have no code of their
// own in the engine yet. Each list is built on first use.

#include "lang/MultiLingua.h"

const TMLStringList &AskToDeletePhrases();
const TMLStringList &InfoUnitPhrases();
const TMLStringList &SelectNamesFormPhrases();
const TMLStringList &DeletionProblemPhrases();
