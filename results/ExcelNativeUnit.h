#pragma once
// A small writer for Excel worksheets in the oldest binary record format. The
// whole file is built in memory record by record and saved with one write, so
// no spreadsheet library is needed.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class TNativeXLS {
public:
    enum StateValue : quint8 { New = 0, Open = 1, Closed = 2 };
    static constexpr quint16 LastRow = 65535;
    static constexpr quint16 LastColumn = 256;
    static constexpr int MaxTextLength = 255;

    TNativeXLS();

    // Empties the stream and writes the start and dimensions records. The
    // cursor stays where it is.
    void Start();
    void ColumnWidth(int firstColumn, int lastColumn, int width);
    void ColumnWidth(int column, int width);
    void NewRow();
    void WriteInteger(quint16 value);
    void WriteNumber(double value);
    // Characters are stored in Windows-1252, the code page readers assume for
    // a sheet that names none; others become '?'. Cut to 255 characters.
    void WriteText(const QString &text);
    void Finish();
    // Finishes the file and writes it (see Platform::ReplacingFile: an old file
    // of that name survives any failure, a link there is replaced). An empty
    // fileName keeps the one given before. False with the cause in error.
    bool Save(const QString &fileName = QString(), QString *error = nullptr);

    const QByteArray &Bytes() const { return Stream; }

    // Cells are written left to right, row by row; every cell is locked and
    // in the default font, alignment and frame.
    quint8 State = New;
    QString FileName;
    quint16 CurrentRow = 1;    // 1..65535
    quint16 CurrentColumn = 1; // 1..256

private:
    void BeginRecord(quint16 id, quint16 length);
    void BeginCell(quint16 id, quint16 length);
    void MoveCursor();
    void Append16(quint16 value);

    QByteArray Stream;
    quint16 RecordId = 0;
    quint16 RecordLength = 0;
};

// The bytes a text cell stores for text: Windows-1252, '?' for what it cannot
// hold, at most 255 of them.
QByteArray WorksheetText(const QString &text);
