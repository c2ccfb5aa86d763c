#pragma once
// Picture fingerprints: each image is decoded once per run into a small grey
// picture kept in a temporary store; two fingerprints give a percentage.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Record number (> 0) of the file's fingerprint, or -1 when none can be made.
qint32 ImageFingerprint(const QString &path);
// The fingerprint bytes of a record; empty when unknown.
QByteArray FingerprintData(qint32 record);
// 0 when the pair cannot be judged by pictures, else 1..100.
int ImageSimilarity(const QByteArray &fingerprintA, qint32 recordB, bool strict);
// Closes the store and deletes its files; every run starts with an empty store.
void ResetImageDatabase();
