#pragma once
// The result page's list: the match list in two panes side by side, the name
// pane (mark icon, percentage, path) and the info pane (date, size), scrolled
// together by the one scroll bar at the right edge, with the popup of the row
// commands. The rows are painted from the match list when they come into
// view; nothing is stored per row.

#include <QWidget>
#include <array>
#include <functional>

class InfoPaneDelegate;
class NamePaneDelegate;
class QKeyEvent;
class QListView;
class QMenu;
class QMouseEvent;
class QScrollBar;
class QSplitter;
class QWheelEvent;
class ResultModel;

class ResultList : public QWidget {
    Q_OBJECT

public:
    explicit ResultList(QWidget *parent);

    // After a run: shows the match list as it is now, from its top.
    void FillResultList();
    // Before a run: forgets the rows, before the engine frees them.
    void ClearResultList();
    // The selected row, -1 when none.
    int SelectedRow() const;
    QMenu *ResultPopup() const { return Popup; }
    // 0 size only, 1 date, 2 date and time.
    void SetDateView(quint8 view);
    // Repaints a row, or all rows shown, after their marks changed elsewhere.
    void RefreshRow(int row);
    void RefreshAll();
    // Selects the row in both panes and scrolls it to their top.
    void ShowRowAtTop(int row);

    // The main window passes its wheel events on. True when they scrolled the
    // list: while it is shown and the pointer is level with it or below it, so
    // the wheel over the buttons beneath the list scrolls it as well.
    bool WheelFromWindow(QWheelEvent *event);

    // Width of a path in the list's font; the match list measures its widest
    // entry with it while it is built.
    int TextWidth(const QString &text) const;

    // Tests: what opening a file and showing it in the file manager do.
    using FileCommand = std::function<void(const QString &path)>;
    void SetFileCommands(FileCommand open, FileCommand show);

public slots:
    void OpenFile1Click();
    void ExploreFolder1Click();
    // The top row of both panes.
    void ScrollBarScroll(int position);
    // Two rows per wheel notch, upwards for a positive angle.
    void ScrollByWheel(int angleDelta);

signals:
    // After a click in a pane or a change of the selected row; -1 when the
    // selection was cleared.
    void RowSelected(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QListView *MakePane(const char *name);
    void BuildPopup();
    void SyncScrollRange();
    void SetInfoWidth(int width);
    void SetAccessibleNames();
    // Selects the row (-1: none) and tells the listeners even when it was
    // selected already, as a click does.
    void SelectRow(int row);
    void ChangeMark(int row, quint8 mark);
    bool InIconArea(const QPoint &pos) const;
    bool PaneMouseEvent(QListView *pane, QMouseEvent *event);
    bool PaneKeyEvent(QListView *pane, QKeyEvent *event);

    ResultModel *Model = nullptr;
    NamePaneDelegate *NameDelegate = nullptr;
    InfoPaneDelegate *InfoDelegate = nullptr;
    QSplitter *SelSplitter = nullptr;
    QListView *NameBox = nullptr;
    QListView *InfoBox = nullptr;
    // Stands under the info pane while the name pane shows its horizontal
    // scroll bar, so both panes always show the same number of rows.
    QWidget *InfoFiller = nullptr;
    QScrollBar *ScrollBar = nullptr;
    QMenu *Popup = nullptr;
    int WheelRemainder = 0;
    int SelectionAtPress = -1;
    FileCommand OpenFile;
    FileCommand ShowFile;
    // Advances of the characters below U+0300 in the list's font, 0 until
    // first needed.
    mutable std::array<float, 0x300> CharWidths{};
};
