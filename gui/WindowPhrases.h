#pragma once
// Messages of the desktop window that the main window's engine list lacks.

#include "lang/MultiLingua.h"

const TMLStringList &WindowPhrases();

enum WindowPhrase {
    PhraseFolderIsFile = 1,        // a base folder names a file
    PhraseFolderUnreadable = 2,    // a base folder may not be read
    PhraseAllFiles = 3,            // the file dialog's filter
    PhraseFolderNotSearchable = 4, // a base folder may be listed but not searched
};
