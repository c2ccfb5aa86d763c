#pragma once
// The folders of a result, each to be left alone, kept or emptied of its
// duplicates: a pre-selection for the selection by folders. The dialog only
// shows and edits the folder states; the rules live in results/SelectionUnit.

#include "results/SelectionUnit.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

class FolderListModel;
class FolderRowDelegate;
class QMouseEvent;
namespace Ui {
class FoldersForm;
}

class FoldersDialog : public QDialog {
    Q_OBJECT

public:
    explicit FoldersDialog(QWidget *parent = nullptr);
    ~FoldersDialog() override;

    // Fills the list with the result's folders in their remembered states and
    // makes it ready to be shown: no folder selected, Escape cancels.
    void LoadFolders();
    void ClearFolders();
    const std::vector<FolderItem> &Folders() const { return Items; }

    // Tests: called with the dialog each time it has been shown, to work in
    // it and close it.
    static void SetShownHook(std::function<void(FoldersDialog &)> hook);

public slots:
    void FormCreate();
    // A folder was selected: the subfolder buttons have something to act on.
    void BoxClick();
    void HierarchyCheckClick();
    void AllToDeleteBtnClick();
    void NoneBtnClick();
    void SubfoldersDeleteBtnClick();
    void SubfoldersDefaultBtnClick();
    void SubfoldersNoDeleteBtnClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    bool BoxMouseUp(QMouseEvent *event);
    void CycleState(int row);
    void SetSelectedWithSubfolders(quint8 state);
    // After the first change Escape no longer throws the changes away.
    void Changed();

    std::unique_ptr<Ui::FoldersForm> Form;
    std::vector<FolderItem> Items;
    FolderListModel *Model = nullptr;
    FolderRowDelegate *Rows = nullptr;
    bool EscapeCancels = true;
};

// Shows the folders dialog of the parent's window (made on first use, then
// kept) and stores its choices when confirmed. With one folder or none there
// is nothing to choose: the remembered choices are taken as they are. False
// when cancelled; the remembered choices are then unchanged.
bool RunFoldersDialog(QWidget *parent);
// Applies the folder choices to every block, after asking for them when ask
// is set. False when there is no result or the dialog was cancelled.
bool SelectByFolders(QWidget *parent, bool ask);
