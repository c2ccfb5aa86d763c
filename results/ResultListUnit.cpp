#include "results/ResultListUnit.h"

#include "platform/Platform.h"
#include "search/MatchList.h"

#include <QDateTime>

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

void BlockRange(int row, int &first, int &last) {
    const FileList &list = MatchList();
    first = last = row;
    const FileRecord *r = list[std::size_t(row)].Record.get();
    if (!r || r->Group < 0)
        return;
    const int group = r->Group;
    auto inBlock = [&](int k) {
        const FileRecord *x = list[std::size_t(k)].Record.get();
        return x && x->Group == group;
    };
    while (first > 0 && inBlock(first - 1))
        --first;
    while (last + 1 < int(list.size()) && inBlock(last + 1))
        ++last;
}
