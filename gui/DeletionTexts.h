#pragma once
// Captions of the deletion's windows in the words of this system: the trash,
// and folders instead of drives.

#include "lang/MultiLingua.h"

const TMLStringList &DeletionWindowPhrases();

enum DeletionWindowPhrase {
    PhraseMoveCaption = 1,    // the move button while the holding folder is not known
    PhraseMoveToFolder = 2,   // the move button naming its holding folder
    PhraseRecycleCaption = 3, // the trash button
    PhraseNotIntoTrash = 4,   // the deletion-problem dialog's first line
    PhraseNoTrashHere = 5,    // why a file system may have no trash
    PhraseKillDirect = 6,     // delete without the trash
};
