#include "gui/FoldersDialog.h"

#include "gui/Accelerators.h"
#include "gui/Colors.h"
#include "gui/LegendWindow.h"
#include "gui/ResultRows.h"
#include "lang/MultiLingua.h"
#include "lang/widgets/LangWidgets.h"
#include "results/ResultListUnit.h"
#include "run/RunControl.h"
#include "search/MatchList.h"
#include "ui_FoldersDialog.h"

#include <QAbstractItemView>
#include <QAbstractListModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {
constexpr int StateRole = Qt::UserRole + 1;
constexpr quint32 SelectedTextColor = 0xFF0000; // blue
constexpr int TextLeft = 24;

std::function<void(FoldersDialog &)> &ShownHook() {
    static std::function<void(FoldersDialog &)> hook;
    return hook;
}

// What each state means for the files in the folder, in the legend's words.
QString StateText(quint8 state) {
    switch (state) {
    case FolderToDelete:
        return TranslateText(QStringLiteral("Datei soll gelöscht/verschoben werden"));
    case FolderNoDelete:
        return TranslateText(QStringLiteral("Datei bleibt vorhanden (manuell festgesetzt)"));
    default:
        // The legend's first line; the second speaks of the selections.
        return GetTablePhrase(2).section(QLatin1Char('\n'), 0, 0);
    }
}
} // namespace

// One row: the state's icon, then the folder; blue when selected, on the
// hierarchy colour when that is switched on.
class FolderRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        // The colour reaches the list's right edge, however short the folder.
        QRect row = option.rect;
        if (const auto *view = qobject_cast<const QAbstractItemView *>(option.widget))
            row.setRight(std::max(row.right(), view->viewport()->width() - 1));
        painter->save();
        painter->fillRect(row, index.data(Qt::BackgroundRole).value<QColor>());
        const QPixmap icon = LegendWindow::MarkIcon(quint8(index.data(StateRole).toUInt()));
        painter->drawPixmap(row.left() + 4, row.top() + 3, icon);
        const bool selected = option.state & QStyle::State_Selected;
        painter->setPen(selected ? FromBgr(SelectedTextColor)
                                 : option.palette.color(QPalette::Text));
        painter->drawText(row.adjusted(TextLeft, 1, 0, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data().toString());
        if (option.state & QStyle::State_HasFocus) {
            QPen dotted(option.palette.color(QPalette::Text), 1, Qt::DotLine);
            painter->setPen(dotted);
            painter->drawRect(row.adjusted(0, 0, -1, -1));
        }
        painter->restore();
    }

    // All rows are as wide as the widest, so the list scrolls sideways to
    // the end of any folder.
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override {
        return {RowWidth, ResultRows::RowHeight};
    }
    void MeasureRows(const std::vector<FolderItem> &items, const QFontMetrics &metrics) {
        int widest = 0;
        for (const FolderItem &item : items)
            widest = std::max(widest, metrics.horizontalAdvance(item.Folder));
        RowWidth = TextLeft + widest + 8;
    }

private:
    int RowWidth = TextLeft;
};

// The dialog's folder items as rows of the list.
class FolderListModel : public QAbstractListModel {
public:
    FolderListModel(std::vector<FolderItem> &items, QObject *parent)
        : QAbstractListModel(parent), Items(items) {}

    int rowCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : int(Items.size());
    }

    QVariant data(const QModelIndex &index, int role) const override {
        if (!index.isValid() || index.row() >= int(Items.size()))
            return {};
        const FolderItem &item = Items[std::size_t(index.row())];
        switch (role) {
        case Qt::DisplayRole:
            return item.Folder;
        case StateRole:
            return item.State;
        case Qt::BackgroundRole:
            return Hierarchy ? FromBgr(item.Color) : QColor(Qt::white);
        case Qt::AccessibleTextRole:
            return item.Folder + QStringLiteral(": ") + StateText(item.State);
        default:
            return {};
        }
    }

    void Reload() {
        beginResetModel();
        endResetModel();
    }
    void Refresh() {
        if (!Items.empty())
            emit dataChanged(index(0), index(int(Items.size()) - 1));
    }
    void SetHierarchy(bool on) {
        Hierarchy = on;
        Refresh();
    }

private:
    std::vector<FolderItem> &Items;
    bool Hierarchy = false;
};

FoldersDialog::FoldersDialog(QWidget *parent) : QDialog(parent), Form(new Ui::FoldersForm) {
    Form->setupUi(this);
    // A result of many folders needs the room; the window can grow. It
    // stays in front of the legend, which stays in front of the main window.
    setWindowFlag(Qt::WindowMinimizeButtonHint);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    Model = new FolderListModel(Items, this);
    Form->Box->setModel(Model);
    Rows = new FolderRowDelegate(Form->Box);
    Form->Box->setItemDelegate(Rows);
    Form->Box->setUniformItemSizes(true);
    Form->Box->setSelectionMode(QAbstractItemView::SingleSelection);
    Form->Box->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Form->Box->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Form->Box->viewport()->installEventFilter(this);
    Form->Box->installEventFilter(this);
    Form->SubfoldersDeleteBtn->setIcon(LegendWindow::MarkIcon(FolderToDelete));
    Form->SubfoldersDefaultBtn->setIcon(LegendWindow::MarkIcon(FolderDefault));
    Form->SubfoldersNoDeleteBtn->setIcon(LegendWindow::MarkIcon(FolderNoDelete));

    connect(Form->Box->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &FoldersDialog::BoxClick);
    connect(Form->HierarchyCheck, &QCheckBox::toggled, this, &FoldersDialog::HierarchyCheckClick);
    connect(Form->AllToDeleteBtn, &QPushButton::clicked, this, &FoldersDialog::AllToDeleteBtnClick);
    connect(Form->NoneBtn, &QPushButton::clicked, this, &FoldersDialog::NoneBtnClick);
    connect(Form->SubfoldersDeleteBtn, &QPushButton::clicked, this,
            &FoldersDialog::SubfoldersDeleteBtnClick);
    connect(Form->SubfoldersDefaultBtn, &QPushButton::clicked, this,
            &FoldersDialog::SubfoldersDefaultBtnClick);
    connect(Form->SubfoldersNoDeleteBtn, &QPushButton::clicked, this,
            &FoldersDialog::SubfoldersNoDeleteBtnClick);
    connect(Form->OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(Form->EscBtn, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

FoldersDialog::~FoldersDialog() = default;

void FoldersDialog::FormCreate() {
    TranslateForm(this);
}

void FoldersDialog::SetShownHook(std::function<void(FoldersDialog &)> hook) {
    ShownHook() = std::move(hook);
}

void FoldersDialog::LoadFolders() {
    Items = ResultFolders();
    Rows->MeasureRows(Items, Form->Box->fontMetrics());
    Model->Reload();
    Form->Box->setCurrentIndex(QModelIndex());
    for (QPushButton *button :
         {Form->SubfoldersDeleteBtn, Form->SubfoldersDefaultBtn, Form->SubfoldersNoDeleteBtn})
        button->setEnabled(false);
    EscapeCancels = true;
    // A language switch since the last opening brought captions without keys.
    AddAccelerators(this);
    Form->Box->setAccessibleName(SplitPhraseKey(Form->Label2->text()).Text);
    for (QPushButton *button :
         {Form->SubfoldersDeleteBtn, Form->SubfoldersDefaultBtn, Form->SubfoldersNoDeleteBtn})
        button->setAccessibleName(button->toolTip());
    Form->Box->setFocus();
}

void FoldersDialog::ClearFolders() {
    Items.clear();
    Model->Reload();
}

void FoldersDialog::Changed() {
    EscapeCancels = false;
    Model->Refresh();
}

void FoldersDialog::BoxClick() {
    const bool selected = Form->Box->currentIndex().isValid();
    for (QPushButton *button :
         {Form->SubfoldersDeleteBtn, Form->SubfoldersDefaultBtn, Form->SubfoldersNoDeleteBtn})
        button->setEnabled(selected);
}

void FoldersDialog::HierarchyCheckClick() {
    Model->SetHierarchy(Form->HierarchyCheck->isChecked());
}

void FoldersDialog::AllToDeleteBtnClick() {
    MarkAllFoldersToDelete(Items);
    Changed();
}

void FoldersDialog::NoneBtnClick() {
    MarkNoFolderToDelete(Items);
    Changed();
}

void FoldersDialog::SetSelectedWithSubfolders(quint8 state) {
    SetStateWithSubfolders(Items, Form->Box->currentIndex().row(), state);
    Changed();
}

void FoldersDialog::SubfoldersDeleteBtnClick() {
    SetSelectedWithSubfolders(FolderToDelete);
}

void FoldersDialog::SubfoldersDefaultBtnClick() {
    SetSelectedWithSubfolders(FolderDefault);
}

void FoldersDialog::SubfoldersNoDeleteBtnClick() {
    SetSelectedWithSubfolders(FolderNoDelete);
}

void FoldersDialog::CycleState(int row) {
    if (row < 0 || row >= int(Items.size()))
        return;
    // The same turn as a click on a result row's icon.
    quint8 &state = Items[std::size_t(row)].State;
    state = ToggledMark(state);
    Changed();
}

bool FoldersDialog::BoxMouseUp(QMouseEvent *event) {
    const QModelIndex index = Form->Box->indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid() ||
        event->position().x() - Form->Box->visualRect(index).left() >= ResultRows::IconArea)
        return false;
    CycleState(index.row());
    return false;
}

bool FoldersDialog::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Form->Box->viewport() && event->type() == QEvent::MouseButtonRelease)
        return BoxMouseUp(static_cast<QMouseEvent *>(event));
    // Space turns the selected folder's state, as a click on its icon does.
    if (watched == Form->Box && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        CycleState(Form->Box->currentIndex().row());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void FoldersDialog::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && !EscapeCancels) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FoldersDialog::changeEvent(QEvent *event) {
    QDialog::changeEvent(event);
    // Minimized, the dialog takes the whole program along instead of hiding
    // alone in front of a window that waits for it.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        parentWidget()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        parentWidget()->window()->showMinimized();
    }
}

void FoldersDialog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (ShownHook())
        QTimer::singleShot(0, this, [this] {
            if (const auto hook = ShownHook(); hook && isVisible())
                hook(*this);
        });
}

bool RunFoldersDialog(QWidget *parent) {
    QWidget *owner = parent ? parent->window() : nullptr;
    QPointer<FoldersDialog> dialog =
        owner ? owner->findChild<FoldersDialog *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!dialog)
        dialog = new FoldersDialog(owner);
    dialog->LoadFolders();
    const bool confirmed = dialog->Folders().size() <= 1 || dialog->exec() == QDialog::Accepted;
    if (confirmed)
        StoreFolderChoices(dialog->Folders());
    dialog->ClearFolders();
    // Without a window to keep it, nothing would ever free it.
    if (!owner)
        delete dialog;
    return confirmed;
}

bool SelectByFolders(QWidget *parent, bool ask) {
    if (MatchList().empty())
        return false;
    if (ask && !RunFoldersDialog(parent))
        return false;
    ProcessMessages();
    ApplyFolderRule();
    return true;
}
