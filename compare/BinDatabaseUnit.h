#pragma once
// A simple record store in two files: an index of fixed 20-byte records and a
// data file holding each record's bytes. The image comparison keeps its
// fingerprints here for the length of one search run, so that thousands of
// pictures cost disk space rather than memory.

#include "platform/Leftovers.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

class TBinDatabase {
public:
    static constexpr qsizetype IndexRecordSize = 20;

    TBinDatabase() = default;
    ~TBinDatabase() { Close(); }
    TBinDatabase(const TBinDatabase &) = delete;
    TBinDatabase &operator=(const TBinDatabase &) = delete;

    // Starts a new store whose two files must not exist yet; missing folders
    // are made. When either file exists, nothing is opened or changed and the
    // answer is false, so a store never takes over a file it did not make. The
    // files are readable by their owner only.
    bool Create(const QString &baseName);
    // Appends a new record (record <= 0 on the way in) and gives back its number.
    // Existing records are never rewritten; empty bytes are refused.
    bool PutString(qint32 &record, quint16 kind, const QByteArray &bytes, quint32 extra);
    bool Read(qint32 record, QByteArray &bytes);
    // Writes the index and closes both files.
    void Close();
    // Closes the store and deletes the two files it created.
    void CloseAndDelete();

    bool IsOpen() const { return Opened; }
    QString Name() const { return BaseName; }
    // The highest record number in use, 0 for an empty store.
    qint32 LastRecord() const { return LastNumber; }
    // Why the last Create or PutString failed ("No space left on device").
    QString ErrorString() const { return Error; }

private:
    struct IndexRecord {
        qint32 Number = 0;
        quint16 Kind = 0;
        quint32 Extra = 0;
        qint32 Offset = 0;
        qint32 Length = 0;
    };
    IndexRecord RecordAt(qsizetype i) const;
    void StoreRecord(qsizetype i, const IndexRecord &r);
    qsizetype RecordCount() const { return Index.size() / IndexRecordSize; }
    qsizetype FindRecord(qint32 number) const;

    static inline const QString IndexExt = QStringLiteral(".hbi");
    static inline const QString DataExt = QStringLiteral(".hbd");
    QString BaseName;
    QFile IndexFile;
    QFile DataFile;
    Platform::LeftoverMark IndexMark;
    Platform::LeftoverMark DataMark;
    // The whole index; written to its file when the store is closed.
    QByteArray Index;
    bool Opened = false;
    bool IndexChanged = false;
    qint32 LastNumber = 0;
    QString Error;
};
