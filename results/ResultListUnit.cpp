#include "results/ResultListUnit.h"

#include "platform/Platform.h"
#include "search/MatchList.h"

#include <QDateTime>
#include <QLocale>

namespace {
quint8 TheDateView = DateOnly;
}

quint8 &DateView() {
    return TheDateView;
}

void ResetResultList() {
    TheDateView = DateOnly;
}

QString RowPath(int row) {
    return Context().CommonBaseFolder + MatchList()[std::size_t(row)].Text;
}

QString DateText(const FileRecord &record) {
    const QDateTime local =
        QDateTime::fromMSecsSinceEpoch(Platform::UnixMsecsFromFileTime(record.WriteTime), Qt::UTC)
            .toLocalTime();
    if (TheDateView == DateAndTime)
        return local.toString(QStringLiteral("yyyy-MM-dd  hh:mm"));
    return local.toString(QStringLiteral("yyyy-MM-dd"));
}

QString SizeKBText(const FileRecord &record) {
    if (record.Mark == Virtual)
        return QStringLiteral("- ");
    const qint64 size = record.Size;
    qint64 kilobytes = size / 1024 + (size % 1024 >= 512 ? 1 : 0);
    if (kilobytes == 0)
        kilobytes = 1;
    return QLatin1Char(' ') + QLocale().toString(kilobytes) + QStringLiteral(" KB ");
}

BlockRows BlockRange(int row) {
    const FileList &list = MatchList();
    if (row < 0 || row >= int(list.size()))
        return {};
    BlockRows block{true, -1, row, row};
    const FileRecord *r = list[std::size_t(row)].Record.get();
    if (!r || r->Group < 0)
        return block;
    block.Group = r->Group;
    auto inBlock = [&](int k) {
        const FileRecord *x = list[std::size_t(k)].Record.get();
        return x && x->Group == block.Group;
    };
    while (block.First > 0 && inBlock(block.First - 1))
        --block.First;
    while (block.Last + 1 < int(list.size()) && inBlock(block.Last + 1))
        ++block.Last;
    return block;
}

quint8 ToggledMark(quint8 mark) {
    switch (mark) {
    case Stay:
        return Delete;
    case Delete:
        return StayNoDelete;
    case StayNoDelete:
        return Stay;
    default:
        return mark;
    }
}
