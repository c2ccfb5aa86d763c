#include "gui/ResultModel.h"

#include "gui/Colors.h"
#include "gui/ResultRows.h"
#include "lang/MultiLingua.h"
#include "results/ResultListUnit.h"
#include "search/MatchList.h"

namespace {
constexpr quint32 White = 0xFFFFFF;
constexpr quint32 OtherBlocks = 0xEEE7C0;
} // namespace

ResultModel::ResultModel(QObject *parent) : QAbstractListModel(parent) {}

int ResultModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : Rows;
}

const FileRecord *ResultModel::RecordAt(int row) const {
    const FileList &list = MatchList();
    if (row < 0 || row >= Rows || row >= int(list.size()))
        return nullptr;
    return list[std::size_t(row)].Record.get();
}

QVariant ResultModel::data(const QModelIndex &index, int role) const {
    const FileRecord *record = RecordAt(index.row());
    if (!record)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return MatchList()[std::size_t(index.row())].Text;
    case Qt::AccessibleTextRole:
        return MatchList()[std::size_t(index.row())].Text + QLatin1Char(' ') +
               data(index, DateRole).toString() + SizeKBText(*record);
    case Qt::BackgroundRole:
        return FromBgr(record->BlockColor == White ? White : OtherBlocks);
    case MarkRole:
        return record->Mark;
    case PercentRole:
        return ResultRows::ShowsPercentColumn() ? ResultRows::PercentText(*record) : QString();
    case DateRole:
        if (DateView() == NoDate)
            return QString();
        return record->Mark == Virtual ? TranslateText(QStringLiteral("virtuell"))
                                       : DateText(*record);
    case SizeRole:
        return SizeKBText(*record);
    case SeparatorRole: {
        const FileRecord *next = RecordAt(index.row() + 1);
        return next && next->IsBlockHead;
    }
    default:
        return {};
    }
}

bool ResultModel::setData(const QModelIndex &index, const QVariant &value, int role) {
    const FileRecord *record = RecordAt(index.row());
    if (!record || role != MarkRole)
        return false;
    const quint8 mark = quint8(value.toUInt());
    if (mark > Delete)
        return false;
    if (record->Mark != mark) {
        MatchList()[std::size_t(index.row())].Record->Mark = mark;
        emit dataChanged(index, index, {MarkRole});
    }
    return true;
}

Qt::ItemFlags ResultModel::flags(const QModelIndex &index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void ResultModel::Fill() {
    beginResetModel();
    Rows = int(MatchList().size());
    endResetModel();
}

void ResultModel::Clear() {
    beginResetModel();
    Rows = 0;
    endResetModel();
}

void ResultModel::RefreshRow(int row) {
    if (row >= 0 && row < Rows)
        emit dataChanged(index(row), index(row));
}

void ResultModel::RefreshAll() {
    if (Rows > 0)
        emit dataChanged(index(0), index(Rows - 1));
}
