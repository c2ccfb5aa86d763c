#pragma once
// The program's only working window: the start page where a search is set up,
// and the result page that shows its progress and then its result. The window
// reads its controls into one search request and hands it to the engine.

#include "results/DeletionUnit.h"
#include "search/SearchRequest.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

class AskDeleteDialog;
class DeletionProblemDialog;
class GuiHost;
class LegendWindow;
class QAbstractButton;
class QLineEdit;
class QPushButton;
class ResultList;
class SelectionCommands;
namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up, after the window: the windows that stand beside it.
    void CreateLegendWindow();
    // Folders given on the command line become the first and second folder.
    void SetStartFolders(const QString &first, const QString &second);

    GuiHost &SearchHostOfWindow() { return *Host; }
    ResultList *ResultPanes() const { return Results; }
    // What the last search button click gave (tests and the benchmark).
    const SearchResult &LastSearch() const { return LastResult; }
    bool RunActive() const { return InRun; }
    bool DeletionActive() const { return Deleting; }
    bool PriorityIsLowered() const { return PriorityLowered; }
    // The second folder's text, kept while its check box is off.
    QString SavedFolderTwoText() const { return SavedFolderTwo; }
    // Puts the image preview out of sight; with forget it also drops its pictures.
    void HideImagePreview(bool forget);


public slots:
    // Start page.
    void WhatContentClick();
    void CompareNamesCheckClick();
    void DifferentExtsCheckClick();
    void WhichFoldersClick();
    void FolderTwoCheckBoxClick();
    void BrowseBtnClick();
    void BrowseBtn2Click();
    void BrowseCertainFileBtnClick();
    void FilterBtnClick();
    void SimiUpDownClick(bool up);
    void NameSimiUpDownClick(bool up);
    void PercentEdChange();
    void NamePercentEdChange();
    void maxFilesEdChange();
    void noLimit1Click();
    void UpdateFindCaption(int percent = -1);
    void PageControlChange();

    // The search run.
    void FindBtnClick();
    void PauseBtnClick();
    void ContinueBtnClick();
    void ESCBtnClick();
    void ApplicationEventsActivate();
    void ApplicationEventsDeactivate();

    // Window items.
    void wwwHomepageLabelClick();
    void Facebook1Click();
    void Info2Click();
    void Close1Click();
    void Sperre1Click();
    void DateViewClick();
    void Legend1Click();
    void StartupTimerTimer();

    // Removing the marked files, and putting the last removal back.
    void DelTwinsBtnClick();
    void UndoRemoval1Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Creation, in the order the window is built.
    void FormCreate();
    void ConnectHandlers();
    void LoadFolderHistory();
    void ChooseLanguage();
    void LanguageClick(QAction *item);
    void FormDestroy();
    void FormMouseWheel(QWheelEvent *event);
    // Texts the window builds itself, again after a language switch.
    void RefreshBuiltTexts();
    void UpdateFilterLabel();
    // Title panels give up their room in small windows.
    void FormResize();

    // Default button of the panel that holds the focus.
    void FocusChanged(QWidget *now);
    void FormKeyDown(QKeyEvent *event);
    void FormKeyUp(QKeyEvent *event);

    // The search run's parts.
    SearchRequest RequestFromPage();
    void WriteBackSettled(const SearchResult &result);
    void ShowRefusal(const SearchResult &result);
    void RunStarting();
    void RunEnded(const SearchResult &result);
    void RestorePriority();

    // The deletion's parts.
    void ConnectDeletion();
    void ShowBlockRow(int row);
    DeletionProblemAnswer AskDeletionProblem(const QString &path, const QString &driveRoot);
    // The result panel and the buttons that change marks or files.
    void SetDeletionControls(bool enabled);
    void UpdateUndoControls();

    void SetPanelEnabled(QWidget *panel, QAbstractButton *except, bool enabled);
    void SetFieldWhite(QLineEdit *field, bool white);
    void ApplyPercentLook(QLineEdit *field, int percent);
    void OpenHelpPage(QPushButton *label);
    // The tips window opens here at start and after a run that found files
    // (a later piece); switched off by the setting "TipWindow" = 0.
    void ShowTipsWindow();

    std::unique_ptr<Ui::MainWindow> ui;
    std::unique_ptr<GuiHost> Host;
    ResultList *Results = nullptr;
    SelectionCommands *Selections = nullptr;
    std::unique_ptr<LegendWindow> Legend;
    std::unique_ptr<AskDeleteDialog> AskDelete;
    std::unique_ptr<DeletionProblemDialog> DeletionProblem;

    QString SavedFolderTwo;
    QString SavedCertainFile;
    quint8 NameCompareMaxLength = 0;
    bool PriorityLowered = false;
    bool FirstActivation = false;
    bool InRun = false;
    bool Deleting = false;
    bool CloseAfterRun = false;
    // Controls of the start page the run switched off, switched on again after it.
    QList<QPointer<QWidget>> DisabledForRun;
    SearchResult LastResult;
};
