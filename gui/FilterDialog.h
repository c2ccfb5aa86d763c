#pragma once
// The file filter as a person edits it: size limits and extension lists. The
// dialog only shows and writes the filter state of compare/FilterUnit; the
// rules live there.

#include <QDialog>
#include <QtGlobal>
#include <memory>

namespace Ui {
class FilterForm;
}

class FilterDialog : public QDialog {
    Q_OBJECT

public:
    explicit FilterDialog(QWidget *parent = nullptr);
    ~FilterDialog() override;

    // Refills every control from the filter state; OK waits for a change.
    void LoadFilterState();

public slots:
    void FormCreate();
    // For minKbEd and maxKbEd.
    void kbEdChange();
    void PositivEdChange();
    // For NegativEd and NeverEd.
    void EdChange();
    void ImagesCheckClick();
    // Writes the filter state and closes with OK.
    void OkBtnClick();

private:
    std::unique_ptr<Ui::FilterForm> Form;
    // The sizes entered now, as the filter will take them.
    qint32 MinKB = 0;
    qint32 MaxKB = 0;
};

// Opens the filter dialog of the parent's window modally; it is made on first
// use and kept, so each window has one. True when OK wrote the filter state;
// cancel leaves it as it was.
bool ShowFilterDialog(QWidget *parent);
