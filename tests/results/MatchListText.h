#pragma once
// Result lists written as text, so tables of cases read like the list on the
// screen: blocks separated by " | ", files by blanks, each file as
//   path[@write time][$size][#inode]
// with its path below /data/. Marks are a string of one letter per file:
// S stay, K stay (fixed), D delete, X deleted, V virtual.

#include "search/MatchList.h"
#include "search/SearchContext.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QtTest>
#include <cstring>

namespace MatchListText {

inline constexpr char Letters[] = "VXSKD"; // by MarkState value

inline quint8 MarkOf(QChar letter) {
    const char *at = std::strchr(Letters, letter.toLatin1());
    if (!at || letter.isNull())
        qFatal("unknown mark %c", letter.toLatin1());
    return quint8(at - Letters);
}

// Fills the match list; the common base folder becomes /data/.
inline void Fill(const QString &blocks, const QString &marks) {
    static const QRegularExpression token(
        QStringLiteral(R"(^([^@$#]+)(?:@(\d+))?(?:\$(\d+))?(?:#(\d+))?$)"));
    Context().CommonBaseFolder = QStringLiteral("/data/");
    FileList &list = MatchList();
    list.clear();
    int k = 0;
    for (const QString &block : blocks.split(QStringLiteral(" | "))) {
        const int head = int(list.size());
        for (const QString &file : block.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch m = token.match(file);
            if (!m.hasMatch())
                qFatal("bad file %s", qPrintable(file));
            auto record = std::make_unique<FileRecord>();
            record->Group = head;
            record->IsBlockHead = int(list.size()) == head;
            record->WriteTime = m.captured(2).toLongLong();
            record->Size = m.captured(3).isEmpty() ? 100 : m.captured(3).toLongLong();
            record->Inode = m.captured(4).toULongLong();
            record->Device = 1;
            record->Mark = MarkOf(marks.at(k++));
            list.push_back({m.captured(1), std::move(record)});
        }
    }
    if (k != marks.size())
        qFatal("%d files, %d marks", k, int(marks.size()));
}

inline QString Marks() {
    QString marks;
    for (const FileEntry &entry : MatchList())
        marks += QLatin1Char(entry.Record ? Letters[entry.Record->Mark] : '-');
    return marks;
}

} // namespace MatchListText
