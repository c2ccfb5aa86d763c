#pragma once
// The match list as rows for the two panes of the result list. It holds
// nothing per row: every value is read from the match list when a row is
// painted, so a list of any length costs the same few bytes here.

#include <QAbstractListModel>

struct FileRecord;

class ResultModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        MarkRole = Qt::UserRole + 1, // FileRecord.Mark; writable
        PercentRole,                 // empty without the percentage column
        DateRole,                    // empty when no date is shown
        SizeRole,
        // The row is the last of its block and another block follows.
        SeparatorRole,
    };

    explicit ResultModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Shows the match list as it is now.
    void Fill();
    // Forgets the rows; called before the engine frees them.
    void Clear();
    // Repaints one row, or every row shown, after the marks changed elsewhere.
    void RefreshRow(int row);
    void RefreshAll();

    // The record of a row, null for a row without one or outside the list.
    const FileRecord *RecordAt(int row) const;

private:
    // The match list may be freed by the engine before Clear is called; the
    // number of rows the views know stays here until then.
    int Rows = 0;
};
