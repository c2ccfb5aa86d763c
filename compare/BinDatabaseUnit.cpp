#include "compare/BinDatabaseUnit.h"

#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>

#include <cerrno>
#include <limits>

namespace {

constexpr qint64 MaxDataOffset = std::numeric_limits<qint32>::max();

bool MakeFolderFor(const QString &fileName) {
    return QDir().mkpath(QFileInfo(fileName).absolutePath());
}

} // namespace

TBinDatabase::IndexRecord TBinDatabase::RecordAt(qsizetype i) const {
    const uchar *p = reinterpret_cast<const uchar *>(Index.constData()) + i * IndexRecordSize;
    IndexRecord r;
    r.Number = qFromLittleEndian<qint32>(p);
    r.Kind = qFromLittleEndian<quint16>(p + 4);
    r.Extra = qFromLittleEndian<quint32>(p + 8);
    r.Offset = qFromLittleEndian<qint32>(p + 12);
    r.Length = qFromLittleEndian<qint32>(p + 16);
    return r;
}

void TBinDatabase::StoreRecord(qsizetype i, const IndexRecord &r) {
    uchar *p = reinterpret_cast<uchar *>(Index.data()) + i * IndexRecordSize;
    qToLittleEndian<qint32>(r.Number, p);
    qToLittleEndian<quint16>(r.Kind, p + 4);
    qToLittleEndian<quint16>(0, p + 6);
    qToLittleEndian<quint32>(r.Extra, p + 8);
    qToLittleEndian<qint32>(r.Offset, p + 12);
    qToLittleEndian<qint32>(r.Length, p + 16);
}

qsizetype TBinDatabase::FindRecord(qint32 number) const {
    // Records are numbered in the order they were appended, so the record is
    // nearly always at its own place; the search is only a fallback.
    const qsizetype count = RecordCount();
    if (number - 1 < count && RecordAt(number - 1).Number == number)
        return number - 1;
    for (qsizetype i = 0; i < count; ++i) {
        if (RecordAt(i).Number == number)
            return i;
    }
    return -1;
}

bool TBinDatabase::Create(const QString &baseName) {
    Close();
    const QString indexName = baseName + IndexExt;
    const QString dataName = baseName + DataExt;
    if (!MakeFolderFor(indexName)) {
        Error = qt_error_string(ENOENT);
        return false;
    }
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    IndexFile.setFileName(indexName);
    if (!IndexFile.open(QIODevice::ReadWrite | QIODevice::NewOnly, ownerOnly)) {
        Error = IndexFile.errorString();
        return false;
    }
    DataFile.setFileName(dataName);
    if (!DataFile.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered,
                       ownerOnly)) {
        Error = DataFile.errorString();
        // The index file was made a moment ago by this store, so it may go again.
        IndexFile.close();
        QFile::remove(indexName);
        return false;
    }
    IndexMark.Set(Platform::EncodeName(indexName));
    DataMark.Set(Platform::EncodeName(dataName));
    Opened = true;
    BaseName = baseName;
    LastNumber = 0;
    return true;
}

bool TBinDatabase::PutString(qint32 &record, quint16 kind, const QByteArray &bytes, quint32 extra) {
    if (!IsOpen() || record > 0 || bytes.isEmpty() ||
        LastNumber == std::numeric_limits<qint32>::max())
        return false;
    qint64 offset = 0;
    if (RecordCount() > 0) {
        const IndexRecord lastRecord = RecordAt(RecordCount() - 1);
        offset = qint64(lastRecord.Offset) + lastRecord.Length;
    }
    const qint64 end = offset + bytes.size();
    if (offset < 0 || offset >= MaxDataOffset || end >= MaxDataOffset) {
        Error = qt_error_string(EFBIG);
        return false;
    }

    IndexRecord r;
    r.Number = LastNumber + 1;
    r.Kind = kind;
    r.Extra = extra;
    r.Offset = qint32(offset);
    r.Length = qint32(bytes.size());
    if (!DataFile.seek(offset) || DataFile.write(bytes) != bytes.size()) {
        // A short write leaves no cause of its own: the disk is full.
        Error = DataFile.error() != QFileDevice::NoError ? DataFile.errorString()
                                                         : qt_error_string(ENOSPC);
        DataFile.unsetError();
        return false;
    }
    // The record enters the index only once its bytes are on disk, so a failed
    // write never leaves a record that points at nothing.
    Index.resize(Index.size() + IndexRecordSize);
    StoreRecord(RecordCount() - 1, r);
    IndexChanged = true;
    LastNumber = r.Number;
    record = r.Number;
    return true;
}

bool TBinDatabase::Read(qint32 record, QByteArray &bytes) {
    bytes.clear();
    if (!IsOpen() || record < 1)
        return false;
    const qsizetype i = FindRecord(record);
    if (i < 0)
        return false;
    const IndexRecord r = RecordAt(i);
    if (r.Offset < 0 || r.Length < 0 || !DataFile.seek(r.Offset))
        return false;
    bytes.resize(r.Length);
    if (DataFile.read(bytes.data(), r.Length) != r.Length) {
        bytes.clear();
        return false;
    }
    return true;
}

void TBinDatabase::Close() {
    if (IsOpen() && IndexChanged && IndexFile.seek(0) && IndexFile.write(Index) == Index.size())
        IndexFile.resize(Index.size());
    IndexFile.close();
    DataFile.close();
    // Files kept on purpose are no leftovers; CloseAndDelete removes them at once.
    IndexMark.Forget();
    DataMark.Forget();
    Opened = false;
    BaseName.clear();
    IndexChanged = false;
    Index.clear();
}

void TBinDatabase::CloseAndDelete() {
    if (!IsOpen())
        return;
    const QString indexName = BaseName + IndexExt;
    const QString dataName = BaseName + DataExt;
    Close();
    QFile::remove(indexName);
    QFile::remove(dataName);
}
