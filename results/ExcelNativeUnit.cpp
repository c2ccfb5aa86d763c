#include "results/ExcelNativeUnit.h"

#include "lang/WideSLUnit.h"
#include "platform/ReplacingFile.h"

#include <QtEndian>
#include <bit>
#include <cerrno>
#include <cstring>

namespace {
// The start record of the newest variant of the format, which every reader takes.
constexpr quint16 StartId = 0x0809;
constexpr quint16 DimensionsId = 0x0200;
constexpr quint16 ColumnWidthId = 0x0024;
constexpr quint16 IntegerId = 0x0002;
constexpr quint16 NumberId = 0x0003;
constexpr quint16 TextId = 0x0004;
constexpr quint16 EndId = 0x000A;
constexpr quint16 BiffVersion = 0x0200;
constexpr quint16 Worksheet = 0x0010;
// Cell position (2 × 16 bit) and the three attribute bytes.
constexpr quint16 CellHeaderLength = 7;
// The first attribute byte of a locked cell; the other two stay 0 (font 0,
// general alignment, no frame, no shade).
constexpr char LockedCell = 0x40;
} // namespace

QByteArray WorksheetText(const QString &text) {
    QByteArray out;
    out.reserve(qMin<qsizetype>(text.size(), TNativeXLS::MaxTextLength));
    for (qsizetype i = 0; i < text.size() && out.size() < TNativeXLS::MaxTextLength; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            // One character beyond the code page, one '?'.
            out += '?';
            ++i;
        } else if (c.isSurrogate()) {
            // A byte of a file name that is not UTF-8: no character to show.
            out += '?';
        } else {
            out += Windows1252Byte(c.unicode());
        }
    }
    return out;
}

TNativeXLS::TNativeXLS() {
    Start();
}

void TNativeXLS::Append16(quint16 value) {
    const quint16 little = qToLittleEndian(value);
    Stream.append(reinterpret_cast<const char *>(&little), 2);
}

void TNativeXLS::BeginRecord(quint16 id, quint16 length) {
    // A closed writer begins a new file rather than appending behind the end.
    if (State == Closed)
        Start();
    RecordId = id;
    RecordLength = length;
    Append16(RecordId);
    Append16(RecordLength);
}

void TNativeXLS::Start() {
    State = Open;
    Stream.clear();
    BeginRecord(StartId, 6);
    Append16(BiffVersion);
    Append16(Worksheet);
    Append16(0);
    // First row, last row + 1, first column, last column + 1, reserved.
    BeginRecord(DimensionsId, 10);
    Append16(0);
    Append16(0xFFFF);
    Append16(0);
    Append16(0x0100);
    Append16(0);
}

void TNativeXLS::ColumnWidth(int firstColumn, int lastColumn, int width) {
    BeginRecord(ColumnWidthId, 4);
    Stream.append(char(quint8(firstColumn - 1)));
    Stream.append(char(quint8(lastColumn - 1)));
    Append16(quint16(qBound(0, width, 255) * 256));
}

void TNativeXLS::ColumnWidth(int column, int width) {
    ColumnWidth(column, column, width);
}

void TNativeXLS::NewRow() {
    if (CurrentRow < LastRow)
        ++CurrentRow;
    CurrentColumn = 1;
}

void TNativeXLS::BeginCell(quint16 id, quint16 length) {
    BeginRecord(id, length);
    Append16(CurrentRow - 1);
    Append16(CurrentColumn - 1);
    const char attributes[3] = {LockedCell, 0, 0};
    Stream.append(attributes, 3);
}

void TNativeXLS::MoveCursor() {
    if (CurrentColumn < LastColumn) {
        ++CurrentColumn;
    } else if (CurrentRow < LastRow) {
        CurrentColumn = 1;
        ++CurrentRow;
    }
}

void TNativeXLS::WriteInteger(quint16 value) {
    BeginCell(IntegerId, CellHeaderLength + 2);
    Append16(value);
    MoveCursor();
}

void TNativeXLS::WriteNumber(double value) {
    BeginCell(NumberId, CellHeaderLength + 8);
    const quint64 little = qToLittleEndian(std::bit_cast<quint64>(value));
    Stream.append(reinterpret_cast<const char *>(&little), 8);
    MoveCursor();
}

void TNativeXLS::WriteText(const QString &text) {
    const QByteArray bytes = WorksheetText(text);
    BeginCell(TextId, quint16(CellHeaderLength + 1 + bytes.size()));
    Stream.append(char(quint8(bytes.size())));
    Stream.append(bytes);
    MoveCursor();
}

void TNativeXLS::Finish() {
    BeginRecord(EndId, 0);
    State = Closed;
}

bool TNativeXLS::Save(const QString &fileName, QString *error) {
    if (!fileName.isEmpty())
        FileName = fileName;
    // Without a name there is no file to write.
    if (FileName.isEmpty()) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(ENOENT));
        return false;
    }
    if (State == Open)
        Finish();
    return Platform::ReplaceFileContent(FileName, Stream, error);
}
