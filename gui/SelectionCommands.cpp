#include "gui/SelectionCommands.h"

#include "gui/FoldersDialog.h"
#include "gui/ResultList.h"
#include "gui/SelectNamesDialog.h"
#include "gui/WaitPanel.h"
#include "lang/MultiLingua.h"
#include "results/SelectionUnit.h"
#include "search/MainPhrases.h"
#include "search/MatchList.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <memory>

SelectionCommands::SelectionCommands(QWidget *pageControl, ResultList *results,
                                     std::function<void()> hidePreview)
    : QObject(results), PageControl(pageControl), Results(results),
      HidePreview(std::move(hidePreview)) {
    const std::pair<const char *, void (SelectionCommands::*)()> items[] = {
        {"keepOnlyThisFile1", &SelectionCommands::keepOnlyThisFile1Click},
        {"DelSelFromHere1", &SelectionCommands::DelSelFromHere1Click},
        {"ThisFolderToDelete1", &SelectionCommands::ThisFolderToDelete1Click},
        {"ThisFolderNoDelete1", &SelectionCommands::ThisFolderNoDelete1Click},
    };
    for (const auto &[name, handler] : items)
        for (QAction *action : Results->ResultPopup()->actions())
            if (action->objectName() == QLatin1String(name)) {
                connect(action, &QAction::triggered, this, handler);
                action->setEnabled(true);
            }
}

int SelectionCommands::SelectedFileRow() const {
    const int row = Results->SelectedRow();
    return row >= 0 && row < int(MatchList().size()) && MatchList()[std::size_t(row)].Record ? row
                                                                                             : -1;
}

void SelectionCommands::keepOnlyThisFile1Click() {
    if (KeepOnlyThisFile(SelectedFileRow()))
        Results->RefreshAll();
}

void SelectionCommands::DelSelFromHere1Click() {
    if (RemoveSelectionsFrom(SelectedFileRow()))
        Results->RefreshAll();
}

void SelectionCommands::ThisFolderToDelete1Click() {
    const int row = SelectedFileRow();
    if (row < 0)
        return;
    // The dialog then shows the folder in its new state; a cancel keeps the
    // marks, but not the folder's former state.
    SetFolderToDelete(RowFolder(row));
    RunSelection([](QWidget *window) { return SelectByFolders(window, true); });
}

void SelectionCommands::ThisFolderNoDelete1Click() {
    const int row = SelectedFileRow();
    if (row < 0)
        return;
    SetFolderNoDelete(RowFolder(row));
    RunSelection([](QWidget *window) { return SelectByFolders(window, true); });
}

void SelectionCommands::AutoSelFoldersBtnClick() {
    if (Results->isVisible())
        RunSelection([](QWidget *window) { return SelectByFolders(window, true); });
}

void SelectionCommands::AutoSelNamesBtnClick() {
    if (Results->isVisible())
        RunSelection(SelectByProperties);
}

void SelectionCommands::RunSelection(const std::function<bool(QWidget *window)> &selection) {
    if (Running)
        return;
    Running = true;
    // The preview stays on top of every window, the selection's dialog too.
    if (HidePreview)
        HidePreview();
    PageControl->setEnabled(false);
    auto *nameBox = Results->findChild<QWidget *>(QStringLiteral("NameBox"));
    const std::unique_ptr<WaitPanel> notice(
        ShowWaitPanel(nameBox ? nameBox : Results, GetPhrase(MainFormPhrases(), 17)));
    // Drawn now, before the dialog or the work; no click gets through meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (selection(Results->window()))
        Results->RefreshAll();
    PageControl->setEnabled(true);
    if (nameBox)
        nameBox->setFocus();
    Running = false;
}
