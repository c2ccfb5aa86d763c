// The main window's part in removing files: the confirmation and the
// question about the trash, the block shown when the removal may not start,
// and the controls that rest meanwhile. Which files go, how, and what is
// reported is the engine's (results/DeletionUnit).

#include "gui/AskDeleteDialog.h"
#include "gui/DeletionProblemDialog.h"
#include "gui/GuiHost.h"
#include "gui/LegendWindow.h"
#include "gui/MainWindow.h"
#include "gui/ResultList.h"
#include "ui_MainWindow.h"

void MainWindow::ConnectDeletion() {
    connect(ui->DelTwinsBtn, &QPushButton::clicked, this, &MainWindow::DelTwinsBtnClick);
    connect(ui->UndoBtn, &QPushButton::clicked, this, &MainWindow::UndoRemoval1Click);
    connect(ui->UndoRemoval1, &QAction::triggered, this, &MainWindow::UndoRemoval1Click);
    SetDeletionProblemHandler([this](const QString &path, const QString &driveRoot) {
        return AskDeletionProblem(path, driveRoot);
    });
}

void MainWindow::DelTwinsBtnClick() {
    if (InRun || Deleting)
        return;
    HideImagePreview(true);
    if (CheckBlocksKeepOne([this](int row) { ShowBlockRow(row); }))
        return;
    if (Legend)
        Legend->hide();
    ResetDeletionDrives();
    if (!AskDelete)
        AskDelete = std::make_unique<AskDeleteDialog>(this);
    const int choice = AskDelete->Ask(HoldingRootsOfMarkedRows(2));
    if (choice == 0)
        return;

    Deleting = true;
    SetDeletionControls(false);
    DeleteMarkedFiles(choice);
    Deleting = false;
    Host->Flush();
    ui->ProgressBar->setValue(0);
    SetDeletionControls(true);
    Results->RefreshAll();
    UpdateUndoControls();
    if (CloseAfterRun)
        close();
}

void MainWindow::UndoRemoval1Click() {
    if (InRun || Deleting || !CanUndoRemoval())
        return;
    HideImagePreview(true);
    UndoLastRemoval();
    Host->Flush();
    Results->RefreshAll();
    UpdateUndoControls();
}

void MainWindow::ShowBlockRow(int row) {
    Results->ShowRowAtTop(row);
}

DeletionProblemAnswer MainWindow::AskDeletionProblem(const QString &path,
                                                     const QString &driveRoot) {
    // A closing window asks nothing more: the file stays.
    if (Host->Terminating())
        return {};
    if (!DeletionProblem)
        DeletionProblem = std::make_unique<DeletionProblemDialog>(this);
    return DeletionProblem->Ask(path, driveRoot);
}

void MainWindow::SetDeletionControls(bool enabled) {
    // The rows must stay as they are while files are removed: no new search,
    // no marks changed.
    for (QWidget *control :
         {static_cast<QWidget *>(ui->DelTwinsBtn), static_cast<QWidget *>(ui->AutoSelFoldersBtn),
          static_cast<QWidget *>(ui->AutoSelNamesBtn), static_cast<QWidget *>(ui->SelBoxPanelA),
          static_cast<QWidget *>(ui->FindBtn)})
        control->setEnabled(enabled);
    if (!enabled) {
        ui->UndoBtn->setEnabled(false);
        ui->UndoRemoval1->setEnabled(false);
    }
}

void MainWindow::UpdateUndoControls() {
    const bool possible = CanUndoRemoval() && !InRun && !Deleting;
    ui->UndoBtn->setVisible(possible);
    ui->UndoBtn->setEnabled(possible);
    ui->UndoRemoval1->setEnabled(possible);
}
