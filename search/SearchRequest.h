#pragma once
// One search as the start page or the command line sets it up, and what came
// of it. A host fills a request, calls RunSearch and shows the result; every
// rule of a search lives behind that call.

#include "compare/FilterUnit.h"
#include "search/SearchContext.h"

struct SearchRequest {
    // As typed: relative to the current folder, blanks around them are dropped
    // unless the exact text names a folder. An empty Folder2: one base folder.
    QString Folder1;
    QString Folder2;
    bool IncludeSubfolders = true;
    // ImageMode counts only together with CompareContents; CertainFile as typed.
    SearchOptions Options;
    // Only the twins of Options.CertainFile are sought (an empty name is refused).
    bool CertainFileMode = false;
    // A similarity run also reports identical copies.
    bool IncludeHundred = true;
    // The user named the folder mode in words (the command line): a search
    // that cannot keep it is refused instead of changed. A window's radio
    // buttons follow the folders, so the window leaves this off.
    bool FolderModeFixed = false;
    FilterSettings Filter;
    // Files that never take part, whatever folder holds them: the file the
    // result will be written to, which a search would otherwise report as a
    // duplicate and then overwrite.
    std::vector<FileIdentity> Excluded;
    // Where what the reads learn is kept for the next search (see
    // ContentCache); empty: nothing is taken from earlier runs or kept.
    QString CacheFolder;
};

// Why a search did not start. Each kind has its own type, so a host maps
// each value to its message and knows which field to point the user to.
enum class OptionProblem {
    None,
    NoMethod,     // neither contents nor names are compared
    PixelHundred, // pictures cannot be compared at 100 %
    // Pairs across base folders need two folders, neither inside the other
    // (only where FolderModeFixed).
    TwoFoldersNeeded,
};
enum class CertainFileProblem {
    None,
    Empty,             // no name given
    InvalidCharacters, // a character no file name may hold
    Missing,           // a content search needs the file itself
    Folder,            // ... and a folder is none
    Link,              // ... nor is a symbolic link, which is never followed
    NotAFile,          // ... nor a device, pipe or socket
};
enum class BaseFolderProblem {
    None,
    Missing,
    NotAFolder,
    Unreadable,
    NotSearchable, // may be listed, but nothing in it opened
    NoFolder,      // neither folder given
};
enum class DeclinedQuestion {
    None,
    NestedFolders, // one base folder lies inside the other
    SystemFolders, // a base folder holds system or program folders
};

struct SearchResult {
    OptionProblem Options = OptionProblem::None;
    CertainFileProblem CertainFile = CertainFileProblem::None;
    BaseFolderProblem Folder = BaseFolderProblem::None;
    int ProblemFolder = 0; // 1 or 2: which folder Folder speaks of
    DeclinedQuestion Declined = DeclinedQuestion::None;

    // The request as the search settled it: folders as full paths with every
    // link resolved and a trailing delimiter (a second folder that was the
    // first, or nested in it, is gone), the certain file resolved, and
    // DifferentExts set where the certain file's name asks for it. A window
    // writes these back into its fields.
    SearchRequest Settled;

    RunOutcome Outcome = RunOutcome::Completed;
    int Matches = 0;

    // False when a check refused the search or the user declined a question.
    bool Ran() const {
        return Options == OptionProblem::None && CertainFile == CertainFileProblem::None &&
               Folder == BaseFolderProblem::None && Declined == DeclinedQuestion::None;
    }
};

// Checks the request, asks the host the questions it needs (nested folders,
// system folders), then scans and compares; the match list holds the blocks
// found. The host's RunStarting is called once the checks have passed.
SearchResult RunSearch(const SearchRequest &request);
