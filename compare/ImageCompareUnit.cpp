#include "compare/ImageCompareUnit.h"

#include "compare/BinDatabaseUnit.h"
#include "compare/Hex32Unit.h"
#include "compare/ImageDecoder.h"
#include "compare/ImageUnit.h"
#include "platform/Platform.h"

#include <QDir>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace {

struct ImageCompareState {
    // Exists from the first fingerprint of a run until ResetImageDatabase.
    std::unique_ptr<TBinDatabase> Store;
    // Why the store takes no more fingerprints ("<folder>: <cause>"); empty
    // while it does. Once set, the rest of the run holds them in memory,
    // numbered on from the store's last record.
    QString StoreProblem;
    std::vector<QByteArray> Held;
    qint32 FirstHeld = 0; // record number of Held[0]
    qint64 HeldBytes = 0;
    qint64 MemoryLimit = FingerprintMemoryLimit;
    // Set when a fingerprint fit neither into the store nor into memory.
    QString Failure;
    QDateTime FixedTime; // tests only: the clock that names the store
    // The coarse part of every fingerprint by record number, while they fit
    // into CoarseMemoryLimit; a record without one is always compared in full.
    std::vector<QByteArray> Coarse;
    qint64 CoarseBytes = 0;
    // Copies of the stored fingerprints by record number, while they fit into
    // CopyMemoryLimit, so that comparing them costs no read from the store.
    std::vector<QByteArray> Copies;
    qint64 CopyBytes = 0;
};

ImageCompareState &State() {
    static ImageCompareState state;
    return state;
}

// Two pictures are only compared when their fingerprints' heights agree within
// this many percent: a different shape is a different picture, and the rows
// of the two could not be lined up.
constexpr int HeightTolerancePercent = 5;
// Grey values that differ by up to EqualGreyDifference count as equal (JPEG
// noise, a slightly different scaler), up to HalfGreyDifference as half equal;
// more counts as different.
constexpr int EqualGreyDifference = 10;
constexpr int HalfGreyDifference = 20;
// A first pass below this score ends the comparison: the pictures are
// unrelated, and the second pass could not lift them near any threshold.
constexpr int UnrelatedScore = 40;
// The tolerant comparison leaves out a tenth of the picture's height at the
// top and the bottom, at least BandMinPixels and at most BandMaxPixels of the
// source picture, where captions, frames and watermarks tend to differ.
constexpr int BandDivisor = 10;
constexpr int BandMinPixels = 28;
constexpr int BandMaxPixels = 100;
// The most a tolerant comparison may give, since it did not look at the
// bands; and the least a tolerant 100 keeps when the whole picture is
// compared after all.
constexpr int TolerantCeiling = 95;

// Two parts of the colour signature differ plainly when their chroma differs
// by more than ChromaSlack levels plus a ChromaShareDivisor-th of the stronger
// chroma: re-encoding moves colours by a few levels, brightening scales them.
constexpr int ChromaSlack = 16;
constexpr int ChromaShareDivisor = 4;
// Pictures are told apart by colour when more than this share of the parts
// differ plainly; a coloured caption or banner across one row of parts is not
// enough.
constexpr int ColourPartsDivisor = 4;
// What a pair ruled out by its colours scores: judged, and unlike.
constexpr int UnlikeColoursScore = 1;

// The coarse part keeps one even and one odd row of every CoarseRowStep rows
// (even, so that each sampled row stays in its pass): a quarter of the cells,
// enough to show that nearly every unlike pair misses the percentage.
constexpr int CoarseRowStep = 8;
// What the coarse parts of one run may take; the pictures beyond it are
// compared in full, as before.
constexpr qint64 CoarseMemoryLimit = 256LL * 1024 * 1024;
// The pairwise loop reads a partner's fingerprint for every pair the coarse
// bound lets through; thousands of pictures fit into this whole.
constexpr qint64 CopyMemoryLimit = 128LL * 1024 * 1024;
// A JPEG decoded at a reduced scale keeps at least this many pixels for each
// fingerprint cell in both directions, so a cell's mean grey stays within a
// grey step or so of the one the full picture gives.
constexpr int DecodedPixelsPerCell = 4;

// Another store made in the same millisecond (a second instance of the program)
// or any other file that happens to carry the name is never touched: the next
// millisecond's name is tried instead.
constexpr int StoreNameAttempts = 100;

// Empty when the store was made, else why not.
QString CreateStore(TBinDatabase &store) {
    // Qt gives no temporary folder when the configured one does not exist; the
    // store must then not land in whatever the current folder is, and the
    // missing folder is not made either.
    if (!QDir::isAbsolutePath(QDir::tempPath()))
        return qt_error_string(ENOENT);
    const QDateTime fixed = State().FixedTime;
    const QDateTime now = fixed.isValid() ? fixed : QDateTime::currentDateTime();
    for (int attempt = 0; attempt < StoreNameAttempts; ++attempt) {
        if (store.Create(FingerprintStoreBaseName(now.addMSecs(attempt))))
            return {};
    }
    return store.ErrorString();
}

QString StoreProblemText(const QString &cause) {
    const QString folder = QDir::tempPath();
    return (folder.isEmpty() ? Platform::ConfiguredTempFolder() : folder) + QStringLiteral(": ") +
           cause;
}

// Keeps a fingerprint the store could not take; -1 beyond the memory limit.
qint32 HoldFingerprint(ImageCompareState &state, const QByteArray &fingerprint) {
    if (state.HeldBytes + fingerprint.size() > state.MemoryLimit) {
        state.Failure = state.StoreProblem;
        return -1;
    }
    if (state.Held.empty())
        state.FirstHeld = state.Store->LastRecord() + 1;
    state.Held.push_back(fingerprint);
    state.HeldBytes += fingerprint.size();
    return state.FirstHeld + qint32(state.Held.size()) - 1;
}

void KeepCoarse(ImageCompareState &state, qint32 record, const QByteArray &fingerprint);

void KeepCopy(ImageCompareState &state, qint32 record, const QByteArray &fingerprint) {
    if (record <= 0 || state.CopyBytes + fingerprint.size() > CopyMemoryLimit)
        return;
    if (state.Copies.size() <= std::size_t(record))
        state.Copies.resize(std::size_t(record) + 1);
    state.Copies[std::size_t(record)] = fingerprint;
    state.CopyBytes += fingerprint.size();
}

struct FingerprintHeader {
    qint32 Width = 0, Height = 0, SourceWidth = 0, SourceHeight = 0;
};

// The header alone; the cells behind it may be a coarse part's.
bool ReadHeaderFields(const QByteArray &fingerprint, FingerprintHeader &header) {
    if (fingerprint.size() <= FingerprintHeaderSize)
        return false;
    const auto *p = reinterpret_cast<const uchar *>(fingerprint.constData());
    header.Width = qFromLittleEndian<qint32>(p);
    header.Height = qFromLittleEndian<qint32>(p + 4);
    header.SourceWidth = qFromLittleEndian<qint32>(p + 8);
    header.SourceHeight = qFromLittleEndian<qint32>(p + 12);
    return header.Width > 0 && header.Height > 0 && header.SourceWidth > 0 &&
           header.SourceHeight > 0;
}

bool ReadHeader(const QByteArray &fingerprint, FingerprintHeader &header) {
    return ReadHeaderFields(fingerprint, header) &&
           fingerprint.size() - FingerprintHeaderSize >= qint64(header.Width) * header.Height;
}

// 100 * part / whole rounded to the nearest integer, halves to even, exactly.
int RoundedPercent(qint64 part, qint64 whole) {
    const qint64 scaled = 100 * part;
    qint64 q = scaled / whole;
    const qint64 twiceRest = 2 * (scaled % whole);
    if (twiceRest > whole || (twiceRest == whole && q % 2 != 0))
        ++q;
    return int(q);
}

// The first and last cell edges of a side of `length` source pixels cut into
// `cells` cells: cell k covers edges[k] .. edges[k + 1] - 1.
std::vector<int> CellEdges(int length, int cells) {
    std::vector<int> edges(std::size_t(cells) + 1);
    // Accumulated step by step, as the edges have always been computed, so a
    // fingerprint does not change with the way it is made.
    const double step = double(length) / cells;
    double edge = 0.0;
    for (int k = 0; k <= cells; ++k) {
        edges[std::size_t(k)] = qMin(int(edge), length);
        edge += step;
    }
    return edges;
}

struct ColourSums {
    qint64 Red = 0, Green = 0, Blue = 0, Pixels = 0;
    void Add(const ColourSums &other) {
        Red += other.Red;
        Green += other.Green;
        Blue += other.Blue;
        Pixels += other.Pixels;
    }
};

// The parts of the colour signature, ColourGrid x ColourGrid, each made of
// whole fingerprint cells. Cell rows come in one by one. A picture with fewer
// cells than parts on a side lets neighbouring parts share a cell.
class ColourSignature {
public:
    ColourSignature(int w, int h) : Columns(Ranges(w)), Rows(Ranges(h)) {}

    void AddCellRow(int cy, const std::vector<ColourSums> &cells) {
        std::array<ColourSums, ColourGrid> row{};
        for (int gx = 0; gx < ColourGrid; ++gx) {
            const auto [from, to] = Columns[std::size_t(gx)];
            for (int cx = from; cx < to; ++cx)
                row[std::size_t(gx)].Add(cells[std::size_t(cx)]);
        }
        for (int gy = 0; gy < ColourGrid; ++gy) {
            const auto [from, to] = Rows[std::size_t(gy)];
            if (from <= cy && cy < to)
                for (int gx = 0; gx < ColourGrid; ++gx)
                    Parts[std::size_t(gy * ColourGrid + gx)].Add(row[std::size_t(gx)]);
        }
    }
    void AppendTo(QByteArray &fingerprint) const {
        for (const ColourSums &part : Parts) {
            const qint64 n = qMax<qint64>(1, part.Pixels);
            for (const qint64 sum : {part.Red, part.Green, part.Blue})
                fingerprint.append(char(uchar(sum / n)));
        }
    }

private:
    using Range = std::pair<int, int>;
    static std::array<Range, ColourGrid> Ranges(int cells) {
        std::array<Range, ColourGrid> ranges;
        for (int g = 0; g < ColourGrid; ++g) {
            const int from = qMin(g * cells / ColourGrid, cells - 1);
            ranges[std::size_t(g)] = {from, qMax(from + 1, (g + 1) * cells / ColourGrid)};
        }
        return ranges;
    }
    std::array<Range, ColourGrid> Columns, Rows;
    std::array<ColourSums, ColourGrid * ColourGrid> Parts{};
};

// Chroma of a mean colour, doubled so it stays whole: red against green, and
// yellow (red and green) against blue. Grey has none.
std::pair<int, int> Chroma(const uchar *rgb) {
    return {2 * (rgb[0] - rgb[1]), rgb[0] + rgb[1] - 2 * rgb[2]};
}

bool PartsDifferPlainly(const uchar *a, const uchar *b) {
    const auto [redA, blueA] = Chroma(a);
    const auto [redB, blueB] = Chroma(b);
    const int difference = qMax(std::abs(redA - redB), std::abs(blueA - blueB));
    const int stronger =
        qMax(qMax(std::abs(redA), std::abs(blueA)), qMax(std::abs(redB), std::abs(blueB)));
    return difference > 2 * ChromaSlack + stronger / ChromaShareDivisor;
}

// The colour signature behind the grey cells, or null for a fingerprint
// without one.
const uchar *ColourSignatureOf(const QByteArray &fingerprint, const FingerprintHeader &header) {
    const qint64 at = FingerprintHeaderSize + qint64(header.Width) * header.Height;
    if (fingerprint.size() != at + ColourSignatureSize)
        return nullptr;
    return reinterpret_cast<const uchar *>(fingerprint.constData()) + at;
}

bool ColoursDifferPlainly(const uchar *a, const uchar *b) {
    if (!a || !b)
        return false;
    int differing = 0;
    for (int part = 0; part < ColourGrid * ColourGrid; ++part)
        differing += PartsDifferPlainly(a + 3 * part, b + 3 * part);
    return differing * ColourPartsDivisor > ColourGrid * ColourGrid;
}

// Score of one pass: every second row from `first` to `last`, each cell 2 points
// for equal grey, 1 for half equal, 0 for different. Gives the equal points;
// the total is 2 per cell.
qint64 EqualPoints(const uchar *a, int widthA, const uchar *b, int widthB, int w, int first,
                   int last, qint64 &total) {
    static const auto Weights = [] {
        std::array<quint8, 256> weights{};
        for (int d = 0; d < 256; ++d)
            weights[std::size_t(d)] = d <= EqualGreyDifference  ? 2
                                      : d <= HalfGreyDifference ? 1
                                                                : 0;
        return weights;
    }();
    qint64 equal = 0;
    total = 0;
    for (int y = first; y <= last; y += 2) {
        const uchar *rowA = a + qint64(y) * widthA;
        const uchar *rowB = b + qint64(y) * widthB;
        int rowEqual = 0;
        for (int x = 0; x < w; ++x)
            rowEqual += Weights[std::size_t(std::abs(int(rowA[x]) - int(rowB[x])))];
        equal += rowEqual;
        total += 2 * qint64(w);
    }
    return equal;
}

void AppendHeader(QByteArray &fingerprint, qint32 w, qint32 h, qint32 W, qint32 H) {
    uchar header[FingerprintHeaderSize];
    qToLittleEndian<qint32>(w, header);
    qToLittleEndian<qint32>(h, header + 4);
    qToLittleEndian<qint32>(W, header + 8);
    qToLittleEndian<qint32>(H, header + 12);
    fingerprint.append(reinterpret_cast<const char *>(header), FingerprintHeaderSize);
}

void KeepCoarse(ImageCompareState &state, qint32 record, const QByteArray &fingerprint) {
    const QByteArray coarse = CoarseFingerprint(fingerprint);
    if (coarse.isEmpty() || state.CoarseBytes + coarse.size() > CoarseMemoryLimit)
        return;
    if (state.Coarse.size() <= std::size_t(record))
        state.Coarse.resize(std::size_t(record) + 1);
    state.Coarse[std::size_t(record)] = coarse;
    state.CoarseBytes += coarse.size();
}

bool IsCoarseRow(int y) {
    return y % CoarseRowStep < 2;
}

// The rows a pass of the comparison looks at: every second one from first to
// last.
struct PassRows {
    int First = 0, Last = -1;
};

// The rows the comparison leaves to each pass: all of them when strict, else
// all but the bands at the top and the bottom.
PassRows ComparedRows(int h, int sourceHeight, bool strict) {
    PassRows rows{0, h - 1};
    if (!strict) {
        // A picture too low for the bands is compared over its whole height.
        const int band = std::clamp(sourceHeight / BandDivisor, BandMinPixels, BandMaxPixels);
        const int skip = int(std::trunc(double(band) / sourceHeight * h));
        if (skip <= h - 1 - skip)
            rows = {skip, h - 1 - skip};
    }
    return rows;
}

// A pass's percentage from its points; a second pass over no row repeats the
// first.
int PassScore(qint64 equal, qint64 total, int pass, int firstScore) {
    if (total > 0)
        return qMax(1, RoundedPercent(equal, total));
    return pass == 1 ? firstScore : 1;
}

} // namespace

QSize FingerprintCells(const QSize &picture) {
    const int W = picture.width(), H = picture.height();
    const double s = FitScale(W, H, FingerprintBox, FingerprintBox);
    if (s >= 1.0)
        return picture;
    // A picture far wider than high, or the reverse, still gets one row or
    // column of cells.
    return {qMax(1, ScaledLength(W, s, FingerprintBox)),
            qMax(1, ScaledLength(H, s, FingerprintBox))};
}

QByteArray MakeFingerprint(QImage bitmap, QSize pictureSize) {
    if (bitmap.isNull())
        return {};
    ToBitmapFormat(bitmap);
    if (bitmap.isNull())
        return {};
    const int W = bitmap.width(), H = bitmap.height();
    QSize grid = FingerprintCells(pictureSize.isValid() ? pictureSize : bitmap.size());
    if (!pictureSize.isValid() || grid.width() > W || grid.height() > H) {
        pictureSize = bitmap.size(); // a bitmap too small stands only for itself
        grid = FingerprintCells(pictureSize);
    }
    const int w = grid.width(), h = grid.height();
    const bool everyPixel = w == W && h == H;
    QByteArray fingerprint;
    fingerprint.reserve(FingerprintHeaderSize + qsizetype(w) * h + ColourSignatureSize);
    AppendHeader(fingerprint, w, h, pictureSize.width(), pictureSize.height());
    fingerprint.resize(FingerprintHeaderSize + qsizetype(w) * h);
    auto *grey = reinterpret_cast<uchar *>(fingerprint.data()) + FingerprintHeaderSize;

    ColourSignature colours(w, h);
    std::vector<ColourSums> cells(static_cast<std::size_t>(w));
    if (everyPixel) {
        // Every pixel is a cell of its own.
        for (int y = 0; y < H; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(bitmap.constScanLine(y));
            for (int x = 0; x < W; ++x) {
                const int red = qRed(row[x]), green = qGreen(row[x]), blue = qBlue(row[x]);
                *grey++ = uchar((red + green + blue) / 3);
                cells[std::size_t(x)] = {red, green, blue, 1};
            }
            colours.AddCellRow(y, cells);
        }
        colours.AppendTo(fingerprint);
        return fingerprint;
    }

    const std::vector<int> columns = CellEdges(W, w);
    const std::vector<int> rows = CellEdges(H, h);
    for (int cy = 0; cy < h; ++cy) {
        std::fill(cells.begin(), cells.end(), ColourSums());
        for (int y = rows[std::size_t(cy)]; y < rows[std::size_t(cy) + 1]; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(bitmap.constScanLine(y));
            for (int cx = 0; cx < w; ++cx) {
                qint64 red = 0, green = 0, blue = 0;
                const int from = columns[std::size_t(cx)], to = columns[std::size_t(cx) + 1];
                for (int x = from; x < to; ++x) {
                    red += qRed(row[x]);
                    green += qGreen(row[x]);
                    blue += qBlue(row[x]);
                }
                ColourSums &cell = cells[std::size_t(cx)];
                cell.Red += red;
                cell.Green += green;
                cell.Blue += blue;
                cell.Pixels += to - from;
            }
        }
        for (const ColourSums &cell : cells)
            *grey++ = cell.Pixels > 0
                          ? uchar((cell.Red + cell.Green + cell.Blue) / (3 * cell.Pixels))
                          : 0;
        colours.AddCellRow(cy, cells);
    }
    colours.AppendTo(fingerprint);
    return fingerprint;
}

int CompareFingerprints(const QByteArray &first, const QByteArray &second, bool strict) {
    FingerprintHeader one, two;
    if (!ReadHeader(first, one) || !ReadHeader(second, two))
        return 0;
    const int ratio = RoundedPercent(one.Height, two.Height);
    if (ratio < 100 - HeightTolerancePercent || ratio > 100 + HeightTolerancePercent)
        return 0;
    if (ColoursDifferPlainly(ColourSignatureOf(first, one), ColourSignatureOf(second, two)))
        return UnlikeColoursScore;
    const int w = qMin(one.Width, two.Width);
    const int h = qMin(one.Height, two.Height);
    const int sourceHeight = qMin(one.SourceHeight, two.SourceHeight);
    const auto *a = reinterpret_cast<const uchar *>(first.constData()) + FingerprintHeaderSize;
    const auto *b = reinterpret_cast<const uchar *>(second.constData()) + FingerprintHeaderSize;

    int floor = 0, pass = 0, firstScore = 0;
    for (;;) {
        const PassRows rows = ComparedRows(h, sourceHeight, strict);
        qint64 total = 0;
        const qint64 equal =
            EqualPoints(a, one.Width, b, two.Width, w, rows.First + pass, rows.Last, total);
        int p = PassScore(equal, total, pass, firstScore);

        if (pass == 0) {
            if (p < UnrelatedScore)
                return p;
            firstScore = p;
            pass = 1;
            continue;
        }
        p = (p + firstScore) / 2;
        if (floor > 0 && p < floor)
            p = floor;
        if (strict)
            return p;
        if (p == 100) {
            // A tolerant 100 may hide differences in the bands; the whole picture
            // decides.
            floor = TolerantCeiling;
            pass = 0;
            strict = true;
            continue;
        }
        return qMin(p, TolerantCeiling);
    }
}

QByteArray CoarseFingerprint(const QByteArray &fingerprint) {
    FingerprintHeader header;
    if (!ReadHeader(fingerprint, header))
        return {};
    QByteArray coarse = fingerprint.left(FingerprintHeaderSize);
    const char *cells = fingerprint.constData() + FingerprintHeaderSize;
    for (int y = 0; y < header.Height; ++y)
        if (IsCoarseRow(y))
            coarse.append(cells + qint64(y) * header.Width, header.Width);
    if (const uchar *colours = ColourSignatureOf(fingerprint, header))
        coarse.append(reinterpret_cast<const char *>(colours), ColourSignatureSize);
    return coarse;
}

// The rows not kept count as if every cell agreed, so each pass's points, and
// with them the score, can only come out higher than the full comparison's;
// the pass structure is the full comparison's own.
bool CoarseMayReach(const QByteArray &coarseA, const QByteArray &coarseB, int least, bool strict) {
    FingerprintHeader one, two;
    if (!ReadHeaderFields(coarseA, one) || !ReadHeaderFields(coarseB, two))
        return true;
    auto coarseRows = [](const FingerprintHeader &header) {
        return (header.Height / CoarseRowStep) * 2 + qMin(header.Height % CoarseRowStep, 2);
    };
    const qint64 rowsA = coarseRows(one), rowsB = coarseRows(two);
    auto signature = [](const QByteArray &coarse, const FingerprintHeader &header, qint64 rows) {
        const qint64 at = FingerprintHeaderSize + rows * header.Width;
        return coarse.size() == at + ColourSignatureSize
                   ? reinterpret_cast<const uchar *>(coarse.constData()) + at
                   : nullptr;
    };
    if (coarseA.size() < FingerprintHeaderSize + rowsA * one.Width ||
        coarseB.size() < FingerprintHeaderSize + rowsB * two.Width)
        return true;
    const int ratio = RoundedPercent(one.Height, two.Height);
    if (ratio < 100 - HeightTolerancePercent || ratio > 100 + HeightTolerancePercent)
        return true; // not judged by pictures: the contents decide
    if (ColoursDifferPlainly(signature(coarseA, one, rowsA), signature(coarseB, two, rowsB)))
        return UnlikeColoursScore >= least;

    const int w = qMin(one.Width, two.Width);
    const int h = qMin(one.Height, two.Height);
    const PassRows rows = ComparedRows(h, qMin(one.SourceHeight, two.SourceHeight), strict);
    const auto *a = reinterpret_cast<const uchar *>(coarseA.constData()) + FingerprintHeaderSize;
    const auto *b = reinterpret_cast<const uchar *>(coarseB.constData()) + FingerprintHeaderSize;
    int bounds[2] = {0, 0};
    for (int pass = 0; pass < 2; ++pass) {
        qint64 equal = 0, total = 0;
        for (int y = rows.First + pass; y <= rows.Last; y += 2) {
            total += 2 * qint64(w);
            if (!IsCoarseRow(y)) {
                equal += 2 * qint64(w);
                continue;
            }
            // Coarse row k of a picture is its row y.
            const qint64 k = (y / CoarseRowStep) * 2 + y % CoarseRowStep;
            qint64 rowTotal = 0;
            equal += EqualPoints(a + k * one.Width, one.Width, b + k * two.Width, two.Width, w, 0,
                                 0, rowTotal);
        }
        bounds[pass] = PassScore(equal, total, pass, bounds[0]);
        if (pass == 0 && bounds[0] < UnrelatedScore)
            return bounds[0] >= least; // the full first pass ends the comparison as low
    }
    // The full first pass may still end below UnrelatedScore; otherwise the
    // two passes' mean is what a strict or a tolerant comparison gives at most
    // (a tolerant 100 could be re-checked, but 100 rules nothing out).
    return qMax(UnrelatedScore - 1, (bounds[0] + bounds[1]) / 2) >= least;
}

qint32 ImageFingerprint(const QString &path) {
    if (!State().Failure.isEmpty())
        return -1;
    return StoreFingerprint(FileFingerprint(path));
}

QByteArray FileFingerprint(const QString &path) {
    QSize pictureSize;
    QImage bitmap = LoadReducedBitmap(
        path, [](QSize full) { return FingerprintCells(full) * DecodedPixelsPerCell; },
        pictureSize);
    if (bitmap.isNull())
        return {};
    return MakeFingerprint(std::move(bitmap), pictureSize);
}

qint32 StoreFingerprint(const QByteArray &fingerprint) {
    ImageCompareState &state = State();
    if (!state.Failure.isEmpty() || fingerprint.isEmpty())
        return -1;
    if (!state.Store) {
        state.Store = std::make_unique<TBinDatabase>();
        if (const QString cause = CreateStore(*state.Store); !cause.isEmpty())
            state.StoreProblem = StoreProblemText(cause);
    }
    qint32 record = -1;
    if (state.StoreProblem.isEmpty()) {
        if (state.Store->PutString(record, 0, fingerprint, 0)) {
            KeepCopy(state, record, fingerprint);
        } else {
            record = -1;
            state.StoreProblem = StoreProblemText(state.Store->ErrorString());
        }
    }
    if (record < 0)
        record = HoldFingerprint(state, fingerprint);
    if (record > 0)
        KeepCoarse(state, record, fingerprint);
    return record;
}

bool FingerprintsMayReach(qint32 recordA, qint32 recordB, int least, bool strict) {
    const std::vector<QByteArray> &coarse = State().Coarse;
    const std::size_t a = std::size_t(recordA), b = std::size_t(recordB);
    if (recordA <= 0 || recordB <= 0 || a >= coarse.size() || b >= coarse.size() ||
        coarse[a].isEmpty() || coarse[b].isEmpty())
        return true;
    return CoarseMayReach(coarse[a], coarse[b], least, strict);
}

QString FingerprintStoreFailure() {
    return State().Failure;
}

void SetFingerprintMemoryLimit(qint64 bytes) {
    State().MemoryLimit = bytes;
}

QByteArray FingerprintData(qint32 record) {
    const ImageCompareState &state = State();
    if (state.FirstHeld > 0 && record >= state.FirstHeld) {
        const std::size_t index = std::size_t(record - state.FirstHeld);
        return index < state.Held.size() ? state.Held[index] : QByteArray();
    }
    if (record > 0 && std::size_t(record) < state.Copies.size() &&
        !state.Copies[std::size_t(record)].isEmpty())
        return state.Copies[std::size_t(record)];
    QByteArray bytes;
    if (state.Store)
        state.Store->Read(record, bytes);
    return bytes;
}

int ImageSimilarity(const QByteArray &fingerprintA, qint32 recordB, bool strict) {
    if (fingerprintA.size() <= FingerprintHeaderSize || recordB <= 0)
        return 0;
    const QByteArray fingerprintB = FingerprintData(recordB);
    if (fingerprintB.size() <= FingerprintHeaderSize)
        return 0;
    return CompareFingerprints(fingerprintA, fingerprintB, strict);
}

void ResetImageDatabase() {
    ImageCompareState &state = State();
    if (state.Store)
        state.Store->CloseAndDelete();
    state.Store.reset();
    state.StoreProblem.clear();
    state.Held = {};
    state.FirstHeld = 0;
    state.HeldBytes = 0;
    state.Failure.clear();
    state.Coarse = {};
    state.CoarseBytes = 0;
    state.Copies = {};
    state.CopyBytes = 0;
}

void ResetImageCompare() {
    ResetImageDatabase();
    State().FixedTime = QDateTime();
    State().MemoryLimit = FingerprintMemoryLimit;
}

double DayNumber(const QDateTime &when) {
    static const QDate DayZero(1899, 12, 30);
    return double(DayZero.daysTo(when.date())) + when.time().msecsSinceStartOfDay() / 86400000.0;
}

QString FingerprintStoreBaseName(const QDateTime &when) {
    return Platform::WithTrailingDelimiter(QDir::tempPath()) + QStringLiteral("Dupliscan ") +
           IntToHex32(std::bit_cast<quint64>(DayNumber(when)));
}

void SetFingerprintStoreTime(const QDateTime &when) {
    State().FixedTime = when;
}

QString CurrentFingerprintStore() {
    const ImageCompareState &state = State();
    return state.Store && state.Store->IsOpen() ? state.Store->Name() : QString();
}
