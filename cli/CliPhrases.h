#pragma once
// The command line's own messages, German first like every text of the
// program, translated through the phrase table.

#include "lang/MultiLingua.h"

enum CliPhraseId {
    PhraseIsAFile = 1,
    PhraseFolderUnreadable = 2,
    PhraseCannotWrite = 4,
    PhraseCannotWriteStdout = 5,
    PhraseNeedsValue = 6,
    PhraseNeedsWholeNumber = 7,
    PhraseInvalidValue = 8,
    PhraseNeedsFileName = 9,
    PhraseUnknownOption = 10,
    PhraseTooManyFolders = 11,
    PhraseMinAboveMax = 12,
    PhraseXlsNeedsOutput = 13,
    PhraseFilesScanned = 14,
    PhraseContinuingYes = 15,
    PhraseNoAnswer = 16,
    PhraseUnknownLanguage = 17,
    PhrasePhrasesSaved = 18,
    PhraseFolderNotSearchable = 19,
    PhraseTwoBaseFoldersNeeded = 20,
    PhraseSheetFull = 25,
    PhraseCacheInUse = 26,
    PhraseCacheNotRemoved = 27,
    // The usage text, line by line.
    PhraseUsageFirst = 40,
};

const TMLStringList &CommandLinePhrases();
QString CliPhrase(int id);
QString CliPhraseParam(int id, const QString &param);
