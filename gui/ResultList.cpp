#include "gui/ResultList.h"

#include "gui/ResultDelegates.h"
#include "gui/ResultModel.h"
#include "gui/ResultRows.h"
#include "lang/MultiLingua.h"
#include "lang/widgets/LangWidgets.h"
#include "platform/desktop/Desktop.h"
#include "results/ResultListUnit.h"
#include "search/MatchList.h"

#include <QAction>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtMath>

using namespace ResultRows;
using namespace Qt::StringLiterals;

// The two panes cannot drift apart: neither has a scroll bar of its own to
// drag, every change of either pane's top row (keys, a click that scrolls a
// row into view, the wheel) is passed through ScrollBar to the other at once,
// and both panes are always the same height. So no timer has to pull them
// together afterwards.
ResultList::ResultList(QWidget *parent) : QWidget(parent), Model(new ResultModel(this)) {
    setObjectName(QStringLiteral("SelBoxPanelA"));
    NameBox = MakePane("NameBox");
    InfoBox = MakePane("InfoBox");
    NameDelegate = new NamePaneDelegate(NameBox);
    InfoDelegate = new InfoPaneDelegate(InfoBox);
    NameBox->setItemDelegate(NameDelegate);
    InfoBox->setItemDelegate(InfoDelegate);
    NameBox->setModel(Model);
    InfoBox->setModel(Model);
    InfoBox->setSelectionModel(NameBox->selectionModel());
    NameBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    NameBox->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    InfoBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto *infoColumn = new QWidget;
    infoColumn->setObjectName(QStringLiteral("InfoColumn"));
    auto *column = new QVBoxLayout(infoColumn);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(InfoBox);
    InfoFiller = new QWidget;
    InfoFiller->hide();
    column->addWidget(InfoFiller);

    SelSplitter = new QSplitter(Qt::Horizontal, this);
    SelSplitter->setObjectName(QStringLiteral("SelSplitter"));
    SelSplitter->addWidget(NameBox);
    SelSplitter->addWidget(infoColumn);
    SelSplitter->setStretchFactor(0, 1);
    SelSplitter->setStretchFactor(1, 0);
    SelSplitter->setChildrenCollapsible(false);

    ScrollBar = new QScrollBar(Qt::Vertical, this);
    ScrollBar->setObjectName(QStringLiteral("ScrollBar"));
    ScrollBar->setFocusPolicy(Qt::NoFocus);
    ScrollBar->setRange(0, 0);
    ScrollBar->hide();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(SelSplitter, 1);
    layout->addWidget(ScrollBar);
    SetInfoWidth(InitialInfoPaneWidth);

    QScrollBar *nameBar = NameBox->verticalScrollBar();
    QScrollBar *infoBar = InfoBox->verticalScrollBar();
    connect(ScrollBar, &QScrollBar::valueChanged, this, &ResultList::ScrollBarScroll);
    connect(nameBar, &QScrollBar::valueChanged, ScrollBar, &QScrollBar::setValue);
    connect(infoBar, &QScrollBar::valueChanged, ScrollBar, &QScrollBar::setValue);
    connect(nameBar, &QScrollBar::rangeChanged, this, &ResultList::SyncScrollRange);
    connect(infoBar, &QScrollBar::rangeChanged, this, &ResultList::SyncScrollRange);

    connect(NameBox->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit RowSelected(SelectedRow()); });
    for (QListView *pane : {NameBox, InfoBox}) {
        // A click on the row that is selected already changes no selection,
        // yet counts as a click.
        connect(pane, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
            if (index.row() == SelectionAtPress)
                emit RowSelected(index.row());
        });
        connect(pane, &QWidget::customContextMenuRequested, this, [this, pane](const QPoint &at) {
            Popup->popup(pane->viewport()->mapToGlobal(at));
        });
    }
    BuildPopup();
    SetAccessibleNames();

    for (QListView *pane : {NameBox, InfoBox}) {
        pane->installEventFilter(this);
        pane->viewport()->installEventFilter(this);
    }
    ScrollBar->installEventFilter(this);
    // The horizontal scroll bar is shown and hidden through its container.
    NameBox->horizontalScrollBar()->parentWidget()->installEventFilter(this);
}

QListView *ResultList::MakePane(const char *name) {
    auto *pane = new QListView;
    pane->setObjectName(QLatin1String(name));
    pane->setUniformItemSizes(true);
    pane->setLayoutMode(QListView::SinglePass);
    pane->setSpacing(0);
    pane->setWordWrap(false);
    pane->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pane->setSelectionMode(QAbstractItemView::SingleSelection);
    pane->setSelectionBehavior(QAbstractItemView::SelectRows);
    pane->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pane->setContextMenuPolicy(Qt::CustomContextMenu);
    return pane;
}

void ResultList::BuildPopup() {
    Popup = new QMenu(this);
    Popup->setObjectName(QStringLiteral("ResultPopup"));
    struct Item {
        const char *Name; // null: a separator
        QString Caption;
        QKeySequence Keys = {};
        void (ResultList::*Handler)() = nullptr;
        // Ctrl+S belongs to the File menu's export, which does the same; the
        // popup's item answers to it only while the popup is open, so the two
        // never compete for the key.
        bool KeysInList = true;
    };
    // Items without a handler are the commands of later work; they are there
    // so the menu has its final shape, and stay disabled until connected.
    const Item items[] = {
        {"OpenFile1", u"Datei öffnen/starten"_s, Qt::CTRL | Qt::Key_O, &ResultList::OpenFile1Click},
        {"ExploreFolder1", Desktop::ShowInFileManagerCaption(), Qt::CTRL | Qt::Key_G,
         &ResultList::ExploreFolder1Click},
        {"CopyFilename1", u"Dateiname kopieren"_s, Qt::CTRL | Qt::Key_C},
        {nullptr, {}},
        {"keepOnlyThisFile1", u"nur diese Datei behalten (in diesem Block)"_s},
        {"DelSelFromHere1", u"Lösch-Auswahl ab hier entfernen (Rest der Liste)"_s},
        {nullptr, {}},
        {"ThisFolderToDelete1", u"Dateien in diesem Ordner zum Löschen markieren"_s},
        {"ThisFolderNoDelete1", u"Dateien in diesem Ordner nicht löschen"_s},
        {nullptr, {}},
        {"CopyResult1", u"Liste in Zwischenablage kopieren"_s},
        {"SaveAs2", u"Suchergebnis exportieren als ..."_s, Qt::CTRL | Qt::Key_S, nullptr, false},
    };
    for (const Item &item : items) {
        if (!item.Name) {
            Popup->addSeparator();
            continue;
        }
        auto *action = new QAction(item.Caption, this);
        action->setObjectName(QLatin1String(item.Name));
        action->setShortcut(item.Keys);
        // The shortcuts work while the list has the focus, as the popup's own.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        action->setShortcutVisibleInContextMenu(true);
        action->setEnabled(item.Handler != nullptr);
        if (item.Handler)
            connect(action, &QAction::triggered, this, item.Handler);
        if (item.KeysInList)
            addAction(action);
        Popup->addAction(action);
    }
    TranslateForm(Popup);
}

void ResultList::SetAccessibleNames() {
    NameBox->setAccessibleName(TranslateText(QStringLiteral("Suchergebnis")));
    InfoBox->setAccessibleName(TranslateText(QStringLiteral("Dateidatum")));
    ScrollBar->setAccessibleName(NameBox->accessibleName());
}

void ResultList::FillResultList() {
    const QRect row(0, 0, 0, RowHeight);
    NameDelegate->SetRowWidth(LayoutNameRow(row, ShowsPercentColumn()).Path.left() +
                              MatchListWidth());
    Model->Fill();
    WheelRemainder = 0;
    ScrollBar->setValue(0);
    ScrollBar->setVisible(Model->rowCount() > 0);
    NameBox->horizontalScrollBar()->setValue(0);
    SetAccessibleNames();
}

void ResultList::ClearResultList() {
    Model->Clear();
    ScrollBar->hide();
}

int ResultList::SelectedRow() const {
    const QModelIndexList rows = NameBox->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ResultList::SetDateView(quint8 view) {
    DateView() = view;
    SetInfoWidth(InfoPaneWidth(view));
    InfoBox->viewport()->update();
}

void ResultList::SetInfoWidth(int width) {
    const QList<int> sizes = SelSplitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    SelSplitter->setSizes({std::max(total - width, width), width});
}

void ResultList::RefreshRow(int row) {
    Model->RefreshRow(row);
}

void ResultList::RefreshAll() {
    Model->RefreshAll();
}

void ResultList::ShowRowAtTop(int row) {
    SelectRow(row);
    ScrollBar->setValue(row);
    ScrollBarScroll(ScrollBar->value());
}

int ResultList::TextWidth(const QString &text) const {
    // A long result measures tens of thousands of paths. Summing the cached
    // advances of characters that stand alone is many times quicker than
    // laying out each text, and close enough for a scroll extent; texts with
    // characters that combine or join are laid out whole.
    const QFontMetricsF metrics(NameBox->font());
    qreal width = 0;
    for (const QChar c : text) {
        if (c.unicode() >= CharWidths.size())
            return NameBox->fontMetrics().horizontalAdvance(text);
        float &advance = CharWidths[c.unicode()];
        if (advance <= 0)
            advance = float(std::max<qreal>(0.01, metrics.horizontalAdvance(c)));
        width += advance;
    }
    return qCeil(width);
}

void ResultList::SetFileCommands(FileCommand open, FileCommand show) {
    OpenFile = std::move(open);
    ShowFile = std::move(show);
}

void ResultList::OpenFile1Click() {
    const int row = SelectedRow();
    if (!Model->RecordAt(row))
        return;
    const QString path = RowPath(row);
    if (OpenFile)
        OpenFile(path);
    else
        Desktop::OpenWithDefaultApplication(path);
}

void ResultList::ExploreFolder1Click() {
    const int row = SelectedRow();
    if (!Model->RecordAt(row))
        return;
    const QString path = RowPath(row);
    if (ShowFile)
        ShowFile(path);
    else
        Desktop::ShowInFileManager(path);
}

void ResultList::ScrollBarScroll(int position) {
    NameBox->verticalScrollBar()->setValue(position);
    InfoBox->verticalScrollBar()->setValue(position);
}

void ResultList::SyncScrollRange() {
    const QScrollBar *nameBar = NameBox->verticalScrollBar();
    ScrollBar->setRange(0, nameBar->maximum());
    ScrollBar->setPageStep(nameBar->pageStep());
    ScrollBarScroll(ScrollBar->value());
}

void ResultList::ScrollByWheel(int angleDelta) {
    if (const int rows = WheelRows(WheelRemainder, angleDelta))
        ScrollBar->setValue(ScrollBar->value() + rows);
}

bool ResultList::WheelFromWindow(QWheelEvent *event) {
    if (!isVisible() || event->angleDelta().y() == 0)
        return false;
    if (event->globalPosition().y() < mapToGlobal(QPointF(0, 0)).y())
        return false;
    ScrollByWheel(event->angleDelta().y());
    return true;
}

void ResultList::SelectRow(int row) {
    const int before = SelectedRow();
    QItemSelectionModel *selection = NameBox->selectionModel();
    if (row >= 0)
        selection->setCurrentIndex(Model->index(row), QItemSelectionModel::ClearAndSelect);
    else
        selection->clear();
    if (SelectedRow() == before)
        emit RowSelected(before);
}

void ResultList::ChangeMark(int row, quint8 mark) {
    Model->setData(Model->index(row), mark, ResultModel::MarkRole);
}

bool ResultList::InIconArea(const QPoint &pos) const {
    const QModelIndex index = NameBox->indexAt(pos);
    return index.isValid() && pos.x() - NameBox->visualRect(index).left() < IconArea;
}

bool ResultList::PaneMouseEvent(QListView *pane, QMouseEvent *event) {
    const QPoint pos = event->position().toPoint();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (event->button() == Qt::RightButton) {
            // The popup that follows acts on the row under the pointer, or on
            // none when there is no row there.
            pane->setFocus(Qt::MouseFocusReason);
            SelectRow(pane->indexAt(pos).row());
            return true;
        }
        SelectionAtPress = SelectedRow();
        return false;
    case QEvent::MouseButtonRelease:
        if (event->button() == Qt::LeftButton && pane == NameBox && InIconArea(pos)) {
            const int row = NameBox->indexAt(pos).row();
            ChangeMark(row, ToggledMark(quint8(
                                Model->data(Model->index(row), ResultModel::MarkRole).toUInt())));
        }
        return false;
    case QEvent::MouseButtonDblClick:
        qWarning() << "dbl" << event->button() << pane->indexAt(pos) << SelectedRow();
        // A quick second click on the icon is a second mark change, not a
        // request to open the file.
        if (event->button() == Qt::LeftButton && pane->indexAt(pos).isValid() &&
            !(pane == NameBox && InIconArea(pos))) {
            if (const int row = pane->indexAt(pos).row(); row != SelectedRow())
                SelectRow(row);
            OpenFile1Click();
        }
        return false;
    default:
        return false;
    }
}

bool ResultList::PaneKeyEvent(QListView *pane, QKeyEvent *event) {
    constexpr auto modifiers = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (event->type() == QEvent::KeyRelease) {
        const bool markKey = event->key() == Qt::Key_Space || event->key() == Qt::Key_Delete;
        if (pane != NameBox || !markKey || event->isAutoRepeat() ||
            (event->modifiers() & modifiers))
            return false;
        const int row = SelectedRow();
        if (!Model->RecordAt(row))
            return false;
        const quint8 mark = quint8(Model->data(Model->index(row), ResultModel::MarkRole).toUInt());
        ChangeMark(row, event->key() == Qt::Key_Space ? ToggledMark(mark) : quint8(Delete));
        return true;
    }
    // No search by typing, Space only marks (the view would select or
    // deselect with it), and Ctrl+C belongs to the popup's copy command, not
    // to the view's own copy of a row's text.
    if (event->key() == Qt::Key_Space || event->matches(QKeySequence::Copy))
        return true;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint() &&
           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

bool ResultList::eventFilter(QObject *watched, QEvent *event) {
    if (watched == ScrollBar && event->type() == QEvent::Wheel) {
        ScrollByWheel(static_cast<QWheelEvent *>(event)->angleDelta().y());
        return true;
    }
    if (watched == NameBox->horizontalScrollBar()->parentWidget()) {
        if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
            InfoFiller->setFixedHeight(
                NameBox->horizontalScrollBar()->parentWidget()->sizeHint().height());
            InfoFiller->setVisible(event->type() == QEvent::ShowToParent);
        }
        return false;
    }
    for (QListView *pane : {NameBox, InfoBox}) {
        if (watched == pane->viewport()) {
            switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                return PaneMouseEvent(pane, static_cast<QMouseEvent *>(event));
            case QEvent::Wheel:
                if (const int dy = static_cast<QWheelEvent *>(event)->angleDelta().y()) {
                    ScrollByWheel(dy);
                    return true;
                }
                return false;
            default:
                return false;
            }
        }
        if (watched == NameBox && event->type() == QEvent::FontChange)
            CharWidths.fill(0);
        if (watched == pane &&
            (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease))
            return PaneKeyEvent(pane, static_cast<QKeyEvent *>(event));
    }
    return QWidget::eventFilter(watched, event);
}
