#pragma once
// The pairwise loop both compare drivers share: each file i that is in no
// block yet is the head candidate; every later file j that is in no block
// either and matches it joins its block. A driver adds only its pair tests.

#include "lang/MultiLingua.h"
#include "search/FileSearchUnit.h"

// Messages of the scan and the drivers.
const TMLStringList &FileSearchPhrases();

// What a driver adds to the loop.
class PairDriver {
public:
    enum class Verdict { Skip, Match, EndHead };

    virtual ~PairDriver() = default;
    virtual int PhraseId() const = 0;
    virtual void PrepareHead(int /*i*/) {}
    virtual Verdict TestPair(int i, int j, quint8 &percent) = 0;
    // The later table positions worth testing against i, in table order.
    // By default every later position.
    virtual int FirstCandidate(int i) { return i + 1; }
    virtual int NextCandidate(int /*i*/, int j) { return j + 1; }
};

// Runs the loop over the file table; returns the number of files that joined
// a block as members.
int RunPairwiseLoop(const SearchOptions &options, PairDriver &driver, RunOutcome &outcome);

// Whether a pair of full paths counts in folder mode 1 (different folders) or
// 2 (different base folders); any other mode lets every pair count.
bool FolderCriterion(const QString &pathA, const QString &pathB, int mode);
// Rewrites the status line of the found count ("%1 Duplikate gefunden (1 KB)").
void StatusLine(int phraseId, int count, qint64 kilobytes, int &line);
// Puts the progress into the program's title when its percentage changed.
void ShowTitlePercent();

// The progress bar of the compare; the title percentage follows it.
void SetProgress(int position, int maximum);
int ProgressMaximum();

// Text shown before each file a driver compares ("vergleiche: ").
QString ComparePrefix();
void SetComparePrefix(const QString &prefix);

// Back to the state at program start (tests).
void ResetPairwiseLoop();
