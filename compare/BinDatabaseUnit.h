#pragma once
// A simple record store in two files: an index of fixed 20-byte records and a
// data file holding each record's bytes. The image comparison keeps its
// fingerprints here for the length of one search run.

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

    // Opens the store with this base name, creating its folder and files when
    // they do not exist yet.
    bool Open(const QString &baseName, bool cacheData);
    // Starts a new store whose two files must not exist yet. When either exists,
    // nothing is opened or changed and the answer is false, so a store never
    // takes over a file it did not make. The files are readable by their owner
    // only.
    bool Create(const QString &baseName);
    // Appends a new record (record <= 0 on the way in) and gives back its number.
    // Existing records are never rewritten; empty bytes are refused.
    bool PutString(qint32 &record, quint16 kind, const QByteArray &bytes, quint32 extra);
    bool Read(qint32 record, QByteArray &bytes);
    void Close();
    // Closes the store and deletes its two files, but only files it created
    // itself (Create); a store opened over existing files leaves them in place.
    void CloseAndDelete();

    bool IsOpen() const { return OpenState == 1; }
    QString Name() const { return BaseName; }
    QString IndexFileName() const { return BaseName + IndexExt; }
    QString DataFileName() const { return BaseName + DataExt; }
    qint32 HighestRecord() const { return LastNumber; }

private:
    struct IndexRecord {
        qint32 Number = 0; // 0 marks a free record
        quint16 Kind = 0;
        quint32 Extra = 0;
        qint32 Offset = 0;
        qint32 Length = 0;
    };
    IndexRecord RecordAt(qsizetype i) const;
    void StoreRecord(qsizetype i, const IndexRecord &r);
    qsizetype RecordCount() const { return Index.size() / IndexRecordSize; }
    qsizetype FindRecord(qint32 number) const;
    void MergeFreeRecords();
    bool FinishOpen(const QString &baseName);

    QString IndexExt = QStringLiteral(".hbi");
    QString DataExt = QStringLiteral(".hbd");
    bool HiddenFiles = false;
    QString BaseName;
    QFile IndexFile;
    QFile DataFile;
    QByteArray Index;
    // The data file is read and written directly; this stays empty.
    QByteArray DataCache;
    quint8 OpenState = 0;
    bool IndexChanged = false;
    bool CacheData = false;
    bool DataCacheChanged = false;
    qint32 LastNumber = 0;
    bool CreatedFiles = false;
};
