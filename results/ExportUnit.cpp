#include "results/ExportUnit.h"

#include "platform/Platform.h"
#include "results/ResultListUnit.h"
#include "search/CompareDriver.h"
#include "search/SearchHost.h"

#include <QFile>

namespace {
constexpr int MessageInterval = 256;
}

void AddDefaultExtension(QString &fileName, const QString &extension) {
    const qsizetype slash = fileName.lastIndexOf(Platform::PathDelimiter());
    if (fileName.indexOf(QLatin1Char('.'), slash + 1) < 0)
        fileName += extension;
}

bool WriteCsv(QIODevice &device) {
    QByteArray text = "Match%\tFile 1\tFile 2\tSize 1\tSize 2\tDate 1\tDate 2\r\n";
    const FileList &list = MatchList();
    int lastBlock = -1;
    for (int i = 0; i < int(list.size()); ++i) {
        if (i % MessageInterval == 0)
            ProcessMessages();
        const FileRecord *r = list[std::size_t(i)].Record.get();
        if (!r || r->Group < 0)
            continue;
        const int g = r->Group;
        if (g == i)
            continue;
        if (g != lastBlock) {
            lastBlock = g;
            text += "\r\n";
        }
        const FileRecord &h = *list[std::size_t(g)].Record;
        // Paths go out as their exact bytes, so each line names exactly that file.
        text += QByteArray::number(r->Percent) + "%\t" + Platform::EncodeName(RowPath(g)) + '\t' +
                Platform::EncodeName(RowPath(i)) + '\t' + QByteArray::number(h.Size) + '\t' +
                QByteArray::number(r->Size) + '\t' + DateText(h).toUtf8() + '\t' +
                DateText(*r).toUtf8() + "\r\n";
        if (text.size() >= 32768) {
            if (device.write(text) != text.size())
                return false;
            text.clear();
        }
    }
    return device.write(text) == text.size();
}

bool ExportCsv(QString &fileName) {
    AddDefaultExtension(fileName, QStringLiteral(".csv"));
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = WriteCsv(file);
    return file.flush() && written && file.error() == QFileDevice::NoError;
}

bool ExportXls(QString &fileName) {
    AddDefaultExtension(fileName, QStringLiteral(".xls"));
    return false;
}
