#pragma once
// Picture fingerprints: each image is decoded once per run into a small grey
// picture with a coarse colour signature, kept in a temporary store; two
// fingerprints give a percentage.

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <QtGlobal>

// Record number (> 0) of the file's fingerprint, or -1 when none can be made.
// When the store in the temporary folder cannot be made or written, the
// fingerprints are held in memory instead, up to FingerprintMemoryLimit bytes;
// beyond that every call gives -1 and FingerprintStoreFailure says why.
qint32 ImageFingerprint(const QString &path);
// ImageFingerprint in two steps, so that pictures can be decoded on several
// threads while one thread at a time stores: the fingerprint of the file's
// picture (empty when none can be made), which touches no shared state; and
// its record number in the store, or -1.
QByteArray FileFingerprint(const QString &path);
qint32 StoreFingerprint(const QByteArray &fingerprint);
// Empty while every fingerprint found room; else the temporary folder and the
// cause ("/tmp: No space left on device"). Cleared by ResetImageDatabase.
QString FingerprintStoreFailure();
inline constexpr qint64 FingerprintMemoryLimit = 512LL * 1024 * 1024;
// Tests lower the limit; ResetImageCompare restores it.
void SetFingerprintMemoryLimit(qint64 bytes);
// False only when the full comparison of the two records' fingerprints would
// judge them by pictures and give less than least: a bound on the coarse parts
// kept in memory, so that most unlike pairs are passed over without reading the
// second fingerprint back. True when either has no coarse part.
bool FingerprintsMayReach(qint32 recordA, qint32 recordB, int least, bool strict);
// The fingerprint bytes of a record; empty when unknown.
QByteArray FingerprintData(qint32 record);
// 0 when the pair cannot be judged by pictures, else 1..100.
int ImageSimilarity(const QByteArray &fingerprintA, qint32 recordB, bool strict);
// Closes the store and deletes its files; every run starts with an empty store,
// and the host calls it once more at program end.
void ResetImageDatabase();
// ResetImageDatabase, and the store named by the clock again.
void ResetImageCompare();

// The fingerprint is a 16-byte header (fingerprint width and height, picture
// width and height, signed 32-bit little-endian) followed by one grey byte per
// cell, row by row, and the colour signature: the mean red, green and blue of
// each of ColourGrid x ColourGrid parts of the picture, row by row. The cells
// fit into FingerprintBox x FingerprintBox; every picture gets at least one.
inline constexpr int FingerprintBox = 200;
// Raised whenever the fingerprint of a given file changes, so that fingerprints
// kept from earlier runs are made anew.
inline constexpr int FingerprintVersion = 2;
inline constexpr int FingerprintHeaderSize = 16;
inline constexpr int ColourGrid = 4;
inline constexpr int ColourSignatureSize = ColourGrid * ColourGrid * 3;
// The cells of the fingerprint of a picture of that size.
QSize FingerprintCells(const QSize &picture);
// Empty only for a picture without pixels. The bitmap may be the picture
// decoded at a reduced scale, as long as it has at least a pixel for every
// cell; pictureSize is then the picture's own (else the bitmap's).
QByteArray MakeFingerprint(QImage bitmap, QSize pictureSize = QSize());
// The percentage of two fingerprints; 0 when they cannot be compared (their
// heights differ by more than about 5 %, or either is malformed). The grey
// cells give the percentage; colours that differ plainly give 1.
int CompareFingerprints(const QByteArray &first, const QByteArray &second, bool strict);

// The part of a fingerprint kept in memory: the header, a quarter of the rows
// of cells and the colour signature. Empty for a malformed fingerprint.
QByteArray CoarseFingerprint(const QByteArray &fingerprint);
// The bound behind FingerprintsMayReach, on two coarse parts: false only when
// CompareFingerprints of the full fingerprints gives 1 .. least - 1.
bool CoarseMayReach(const QByteArray &coarseA, const QByteArray &coarseB, int least, bool strict);

// Where the store of a run started at this local time keeps its files: the
// temporary folder, "Dupliscan " and the time as a base-32 number.
QString FingerprintStoreBaseName(const QDateTime &when);
// Days since 30 December 1899 with the time of day as fraction.
double DayNumber(const QDateTime &when);
// Tests name the store by this time instead of the clock (invalid: the clock).
void SetFingerprintStoreTime(const QDateTime &when);
// The base name of the store in use, or empty when there is none.
QString CurrentFingerprintStore();
