#pragma once
// Runs a compare over the file table and turns the found blocks into the
// match list.

#include "lang/MultiLingua.h"
#include "search/FileSearchUnit.h"

#include <array>

// Background colours of consecutive blocks, 0x00BBGGRR.
inline constexpr std::array<quint32, 6> BlockColors = {0xFFFFFF, 0xD0FFD0, 0xFFFFFF,
                                                       0xD0D0FF, 0xFFFFFF, 0xE0E0E0};

// The result: blocks of entries, each head first. Owns its records.
FileList &MatchList();
void ClearMatchList();

// Messages of the scan and the drivers.
const TMLStringList &FileSearchPhrases();

int RunCompare(quint8 &outcome, bool includeHundred = true);
bool FolderCriterion(const QString &pathA, const QString &pathB, int mode);
void StatusLine(int phraseId, int count, qint64 kilobytes, int &line);
void ShowTitlePercent();
void SetProgress(int position, int maximum);
int BuildMatchList();

// What a driver adds to the pairwise loop that all drivers share.
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

int RunPairwiseLoop(const SearchOptions &options, PairDriver &driver, quint8 &outcome);

// Text shown before each file a driver compares ("vergleiche: ").
QString ComparePrefix();
