#include "results/ExportUnit.h"

#include "platform/Platform.h"
#include "platform/ReplacingFile.h"
#include "results/ExcelNativeUnit.h"
#include "results/ResultListUnit.h"
#include "run/RunControl.h"
#include "search/MatchList.h"

namespace {
constexpr int MessageInterval = 256;
constexpr qsizetype CsvBufferSize = 32768;

// Walks the match list as pairs of a file and its block head; heads get no
// line of their own. blockStart runs before the first pair of every block.
// stop is asked before each row and ends the walk when it returns true.
template <typename Stop, typename BlockStart, typename Pair>
void ForEachPair(Stop stop, BlockStart blockStart, Pair pair) {
    const FileList &list = MatchList();
    int lastBlock = -1;
    for (int i = 0; i < int(list.size()); ++i) {
        if (i % MessageInterval == 0)
            ProcessMessages();
        if (stop())
            return;
        const FileRecord *r = list[std::size_t(i)].Record.get();
        if (!r || r->Group < 0 || r->Group == i || r->Group >= int(list.size()))
            continue;
        const int g = r->Group;
        const FileRecord *h = list[std::size_t(g)].Record.get();
        if (!h)
            continue;
        if (g != lastBlock) {
            lastBlock = g;
            blockStart();
        }
        pair(i, g, *r, *h);
    }
}
} // namespace

void AddDefaultExtension(QString &fileName, const QString &extension) {
    const qsizetype slash = fileName.lastIndexOf(Platform::PathDelimiter());
    if (fileName.indexOf(QLatin1Char('.'), slash + 1) < 0)
        fileName += extension;
}

bool WriteCsv(QIODevice &device) {
    QByteArray text = "Match%\tFile 1\tFile 2\tSize 1\tSize 2\tDate 1\tDate 2\r\n";
    bool failed = false;
    ForEachPair([&] { return failed; }, [&] { text += "\r\n"; },
                [&](int i, int g, const FileRecord &r, const FileRecord &h) {
                    // Paths go out as their exact bytes, so each line names exactly that file.
                    text += QByteArray::number(r.Percent) + "%\t" +
                            Platform::EncodeName(RowPath(g)) + '\t' +
                            Platform::EncodeName(RowPath(i)) + '\t' + QByteArray::number(h.Size) +
                            '\t' + QByteArray::number(r.Size) + '\t' + DateText(h).toUtf8() + '\t' +
                            DateText(r).toUtf8() + "\r\n";
                    if (text.size() >= CsvBufferSize) {
                        failed = device.write(text) != text.size();
                        text.clear();
                    }
                });
    return !failed && device.write(text) == text.size();
}

bool ExportCsv(QString &fileName, QString *error) {
    AddDefaultExtension(fileName, QStringLiteral(".csv"));
    Platform::ReplacingFile file(fileName);
    if (file.open() && WriteCsv(file) && file.Commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool WriteXls(QIODevice &device, int *leftOut) {
    TNativeXLS xls;
    xls.Start();
    xls.ColumnWidth(1, 8);
    xls.ColumnWidth(2, 3, 40);
    xls.ColumnWidth(6, 7, 16);
    for (const char *title : {"Match%", "File 1", "File 2", "Size 1", "Size 2", "Date 1", "Date 2"})
        xls.WriteText(QString::fromLatin1(title));
    xls.NewRow();
    // Past the last row the walk goes on only to count what is left out.
    int left = 0;
    const auto full = [&] { return xls.CurrentRow == TNativeXLS::LastRow; };
    ForEachPair([] { return false; },
                [&] {
                    if (!full())
                        xls.NewRow();
                },
                [&](int i, int g, const FileRecord &r, const FileRecord &h) {
                    if (full()) {
                        ++left;
                        return;
                    }
                    xls.WriteInteger(r.Percent);
                    xls.WriteText(RowPath(g));
                    xls.WriteText(RowPath(i));
                    xls.WriteNumber(h.Size);
                    xls.WriteNumber(r.Size);
                    xls.WriteText(DateText(h));
                    xls.WriteText(DateText(r));
                    xls.NewRow();
                });
    if (leftOut)
        *leftOut = left;
    xls.Finish();
    return device.write(xls.Bytes()) == xls.Bytes().size();
}

bool ExportXls(QString &fileName, QString *error, int *leftOut) {
    AddDefaultExtension(fileName, QStringLiteral(".xls"));
    Platform::ReplacingFile file(fileName);
    if (file.open() && WriteXls(file, leftOut) && file.Commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

QString ExportFilter(ExportFormat format) {
    return format == ExportFormat::Csv ? QStringLiteral("CSV (*.csv)")
                                       : QStringLiteral("Excel (*.xls)");
}

QString ExportFilters() {
    return ExportFilter(ExportFormat::Xls) + QStringLiteral(";;") + ExportFilter(ExportFormat::Csv);
}

ExportFormat ExportFormatOf(const QString &fileName, ExportFormat chosen) {
    const QString name = fileName.mid(fileName.lastIndexOf(Platform::PathDelimiter()) + 1);
    if (name.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return ExportFormat::Csv;
    if (name.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive))
        return ExportFormat::Xls;
    return chosen;
}

QString ExportFileName(const QString &fileName, ExportFormat format) {
    QString name = fileName;
    AddDefaultExtension(name, format == ExportFormat::Csv ? QStringLiteral(".csv")
                                                          : QStringLiteral(".xls"));
    return name;
}

bool ExportResult(QString &fileName, ExportFormat format, QString *error, int *leftOut) {
    if (leftOut)
        *leftOut = 0;
    if (format == ExportFormat::Csv)
        return ExportCsv(fileName, error);
    return ExportXls(fileName, error, leftOut);
}

QString ResultListText() {
    const FileList &list = MatchList();
    const QString lineBreak = Platform::LineBreak();
    const QString blockLine = QLatin1Char('-') + lineBreak;
    QString text;
    int lastGroup = -1;
    for (int i = 0; i < int(list.size()); ++i) {
        const FileRecord *r = list[std::size_t(i)].Record.get();
        if (!r)
            continue;
        // Every row of a block carries its head's row, so a new value is a
        // new block; a row outside any block counts as a block of its own.
        const int group = r->Group >= 0 ? r->Group : -2 - i;
        if (group != lastGroup) {
            lastGroup = group;
            text += blockLine;
        }
        text += RowPath(i) + lineBreak;
    }
    if (!text.isEmpty())
        text += blockLine;
    return text;
}

QString RowFileName(int row) {
    const FileList &list = MatchList();
    if (row < 0 || row >= int(list.size()) || !list[std::size_t(row)].Record)
        return {};
    return RowPath(row);
}

const TMLStringList &ExportPhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("ExportUnit"));
        l.Add255Obj(QStringLiteral("Die Datei konnte nicht gespeichert werden."),
                    ExportPhraseNotSaved);
        l.Add255Obj(QStringLiteral("Diese Datei gibt es schon. Soll sie ersetzt werden?"),
                    ExportPhraseExists);
        l.Add255Obj(QStringLiteral("Das Arbeitsblatt hat höchstens 65535 Zeilen: %1 Dateien "
                                   "fehlen darin. Als CSV gespeichert fehlt keine."),
                    ExportPhraseSheetFull);
        return l;
    }();
    return list;
}
