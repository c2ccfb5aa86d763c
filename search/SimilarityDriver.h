#pragma once
// The driver for contents that need to agree only to a percentage below 100,
// and for pictures compared by what they show.

#include "compare/FileCompareUnit.h"
#include "compare/StreamUnit.h"
#include "search/NameFilter.h"
#include "search/PairwiseLoop.h"

#include <QByteArray>
#include <optional>
#include <vector>

// The text's extension, from its last dot, is ".mp3" in any case.
bool IsMp3(const QString &text);

int SimilarityDriver(const SearchOptions &options, bool include100, RunOutcome &outcome);

// The pair tests of the similarity driver. Outside image mode only the later
// files whose size can reach the percentage are visited, in table order, so
// the result is the one of the walk over every later file.
class SimilarityPairs : public PairDriver {
public:
    // walkEveryPair visits every later file as the plain pairwise loop does.
    SimilarityPairs(const SearchOptions &options, bool include100, bool walkEveryPair = false);
    ~SimilarityPairs() override;

    int PhraseId() const override { return 30; }
    void PrepareHead(int i) override;
    int FirstCandidate(int i) override;
    int NextCandidate(int i, int j) override;
    Verdict TestPair(int i, int j, quint8 &percent) override;

    // In image mode, makes the fingerprint of every file on worker threads
    // before the loop; the loop then finds each one made, with the same
    // result. False when the run was stopped meanwhile.
    bool FingerprintAhead();

    // The fingerprints found no room; the run ends without a full result.
    bool Failed() const { return StoreFailed; }

private:
    void BuildSizeOrder();
    int ImagePercent(int i, int j);
    int ContentPercent(int i, int j);
    int PictureContentPercent(int i, int j);
    ByteComparison SameContents(int i, int j, qint64 scannedSize);
    std::optional<quint64> PrefixHash(int k, const QString &path);

    const SearchOptions &Options;
    const bool Include100;
    FileList &Table;
    const bool SizeOrdered;

    NamePairTest Names;
    std::vector<bool> Mp3;

    // Table positions ordered by size, and the candidates of the current head.
    std::vector<int> BySize;
    std::vector<qint64> SortedSizes;
    std::vector<int> Candidates;
    std::size_t Cursor = 0;

    // Reader A holds the head, reader B its partner. They trade places when
    // the next head is the file B still holds, so it is not read twice.
    TFileBlockReader Readers[2];
    TFileBlockReader *A = &Readers[0];
    TFileBlockReader *B = &Readers[1];

    // The hash of each file's first bytes, read once when first needed:
    // 0 not yet, 1 known, 2 unreadable.
    std::vector<quint64> Prefixes;
    std::vector<quint8> PrefixStates;
    bool StoreFailed = false;

    QByteArray HeadFingerprint;
    QString HeadPath;
    QString PartnerPath;
    QString StatusText;
};
