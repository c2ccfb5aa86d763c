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
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct ImageCompareState {
    // Exists from the first fingerprint of a run until ResetImageDatabase. A
    // store that could not be created stays closed, so that the rest of the run
    // gives -1 without decoding every picture in vain.
    std::unique_ptr<TBinDatabase> Store;
    QDateTime FixedTime; // tests only: the clock that names the store
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

// Another store made in the same millisecond (a second instance of the program)
// or any other file that happens to carry the name is never touched: the next
// millisecond's name is tried instead.
constexpr int StoreNameAttempts = 100;

bool CreateStore(TBinDatabase &store) {
    // Qt gives no temporary folder when the configured one does not exist; the
    // store must then not land in whatever the current folder is.
    if (!QDir::isAbsolutePath(QDir::tempPath()))
        return false;
    const QDateTime fixed = State().FixedTime;
    const QDateTime now = fixed.isValid() ? fixed : QDateTime::currentDateTime();
    for (int attempt = 0; attempt < StoreNameAttempts; ++attempt) {
        if (store.Create(FingerprintStoreBaseName(now.addMSecs(attempt))))
            return true;
    }
    return false;
}

struct FingerprintHeader {
    qint32 Width = 0, Height = 0, SourceWidth = 0, SourceHeight = 0;
};

bool ReadHeader(const QByteArray &fingerprint, FingerprintHeader &header) {
    if (fingerprint.size() <= FingerprintHeaderSize)
        return false;
    const auto *p = reinterpret_cast<const uchar *>(fingerprint.constData());
    header.Width = qFromLittleEndian<qint32>(p);
    header.Height = qFromLittleEndian<qint32>(p + 4);
    header.SourceWidth = qFromLittleEndian<qint32>(p + 8);
    header.SourceHeight = qFromLittleEndian<qint32>(p + 12);
    return header.Width > 0 && header.Height > 0 && header.SourceWidth > 0 &&
           header.SourceHeight > 0 &&
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

inline int PixelSum(QRgb p) {
    return int(p & 0xFF) + int((p >> 8) & 0xFF) + int((p >> 16) & 0xFF);
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

} // namespace

QByteArray MakeFingerprint(QImage bitmap) {
    if (bitmap.isNull())
        return {};
    ToBitmapFormat(bitmap);
    if (bitmap.isNull())
        return {};
    const int W = bitmap.width(), H = bitmap.height();
    const double s = FitScale(W, H, FingerprintBox, FingerprintBox);
    int w = W, h = H;
    if (s < 1.0) {
        w = ScaledLength(W, s, FingerprintBox);
        h = ScaledLength(H, s, FingerprintBox);
        if (w < 1 || h < 1)
            return {};
    }
    QByteArray fingerprint;
    fingerprint.reserve(FingerprintHeaderSize + qsizetype(w) * h);
    AppendHeader(fingerprint, w, h, W, H);
    fingerprint.resize(FingerprintHeaderSize + qsizetype(w) * h);
    auto *grey = reinterpret_cast<uchar *>(fingerprint.data()) + FingerprintHeaderSize;

    if (s >= 1.0) {
        for (int y = 0; y < H; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(bitmap.constScanLine(y));
            for (int x = 0; x < W; ++x)
                *grey++ = uchar(PixelSum(row[x]) / 3);
        }
        return fingerprint;
    }

    const std::vector<int> columns = CellEdges(W, w);
    const std::vector<int> rows = CellEdges(H, h);
    std::vector<qint64> sums(std::size_t(w), 0);
    for (int cy = 0; cy < h; ++cy) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int y = rows[std::size_t(cy)]; y < rows[std::size_t(cy) + 1]; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(bitmap.constScanLine(y));
            for (int cx = 0; cx < w; ++cx) {
                qint64 sum = 0;
                for (int x = columns[std::size_t(cx)]; x < columns[std::size_t(cx) + 1]; ++x)
                    sum += PixelSum(row[x]);
                sums[std::size_t(cx)] += sum;
            }
        }
        const qint64 cellRows = rows[std::size_t(cy) + 1] - rows[std::size_t(cy)];
        for (int cx = 0; cx < w; ++cx) {
            const qint64 cellPixels =
                cellRows * (columns[std::size_t(cx) + 1] - columns[std::size_t(cx)]);
            *grey++ = cellPixels > 0 ? uchar(sums[std::size_t(cx)] / (3 * cellPixels)) : 0;
        }
    }
    return fingerprint;
}

int CompareFingerprints(const QByteArray &first, const QByteArray &second, bool strict) {
    FingerprintHeader one, two;
    if (!ReadHeader(first, one) || !ReadHeader(second, two))
        return 0;
    const int ratio = RoundedPercent(one.Height, two.Height);
    if (ratio < 100 - HeightTolerancePercent || ratio > 100 + HeightTolerancePercent)
        return 0;
    const int w = qMin(one.Width, two.Width);
    const int h = qMin(one.Height, two.Height);
    const int sourceHeight = qMin(one.SourceHeight, two.SourceHeight);
    const auto *a = reinterpret_cast<const uchar *>(first.constData()) + FingerprintHeaderSize;
    const auto *b = reinterpret_cast<const uchar *>(second.constData()) + FingerprintHeaderSize;

    int floor = 0, pass = 0, firstScore = 0;
    for (;;) {
        int top = 0, last = h - 1;
        if (!strict) {
            // A picture too low for the bands is compared over its whole height.
            const int band = std::clamp(sourceHeight / BandDivisor, BandMinPixels, BandMaxPixels);
            const int skip = int(std::trunc(double(band) / sourceHeight * h));
            if (skip <= h - 1 - skip) {
                top = skip;
                last = h - 1 - skip;
            }
        }
        qint64 total = 0;
        const qint64 equal = EqualPoints(a, one.Width, b, two.Width, w, top + pass, last, total);
        int p = 1;
        if (total > 0)
            p = qMax(1, RoundedPercent(equal, total));
        else if (pass == 1)
            p = firstScore; // a single row: the first pass saw all there is

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

qint32 ImageFingerprint(const QString &path) {
    ImageCompareState &state = State();
    if (state.Store && !state.Store->IsOpen())
        return -1;
    QImage bitmap = LoadImageAsBitmap(path);
    if (bitmap.isNull())
        return -1;
    if (!state.Store) {
        state.Store = std::make_unique<TBinDatabase>();
        if (!CreateStore(*state.Store))
            return -1;
    }
    const QByteArray fingerprint = MakeFingerprint(std::move(bitmap));
    if (fingerprint.isEmpty())
        return -1;
    qint32 record = -1;
    if (!state.Store->PutString(record, 0, fingerprint, 0))
        return -1;
    return record;
}

QByteArray FingerprintData(qint32 record) {
    QByteArray bytes;
    if (State().Store)
        State().Store->Read(record, bytes);
    return bytes;
}

int ImageSimilarity(const QByteArray &fingerprintA, qint32 recordB, bool strict) {
    ImageCompareState &state = State();
    if (!state.Store || fingerprintA.size() <= FingerprintHeaderSize || recordB <= 0)
        return 0;
    QByteArray fingerprintB;
    if (!state.Store->Read(recordB, fingerprintB))
        return 0;
    return CompareFingerprints(fingerprintA, fingerprintB, strict);
}

void ResetImageDatabase() {
    ImageCompareState &state = State();
    if (!state.Store)
        return;
    state.Store->CloseAndDelete();
    state.Store.reset();
}

void ResetImageCompare() {
    ResetImageDatabase();
    State().FixedTime = QDateTime();
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
