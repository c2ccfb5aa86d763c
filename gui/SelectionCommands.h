#pragma once
// The result page's commands that set the marks of many rows at once: four
// items of the result list's popup, and the selections by folders and by
// properties behind the two buttons below the list.

#include <QObject>
#include <functional>

class ResultList;
class QWidget;

class SelectionCommands : public QObject {
    Q_OBJECT

public:
    // pageControl is locked while a selection runs; hidePreview puts the
    // image preview out of the way of the selection dialogs.
    SelectionCommands(QWidget *pageControl, ResultList *results, std::function<void()> hidePreview);

public slots:
    void keepOnlyThisFile1Click();
    void DelSelFromHere1Click();
    void ThisFolderToDelete1Click();
    void ThisFolderNoDelete1Click();
    void AutoSelFoldersBtnClick();
    void AutoSelNamesBtnClick();

private:
    // The selected row when it shows a file, else -1.
    int SelectedFileRow() const;
    // Locks the pages and shows the wait notice over the list while the
    // selection asks and works; the list is repainted when it changed marks.
    void RunSelection(const std::function<bool(QWidget *window)> &selection);

    QWidget *PageControl;
    ResultList *Results;
    std::function<void()> HidePreview;
    bool Running = false;
};
