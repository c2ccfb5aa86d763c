#pragma once
// The rules of the selection by properties: for the file date, the size, the
// folder depth and copy-like names a direction and the points a file scores
// by it. The dialog only reads and writes the rules; results/SelectionUnit
// applies them.

#include "results/SelectionUnit.h"

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

class QComboBox;
class QFrame;
class QLabel;
namespace Ui {
class SelectNamesForm;
}

class SelectNamesDialog : public QDialog {
    Q_OBJECT

public:
    explicit SelectNamesDialog(QWidget *parent = nullptr);
    ~SelectNamesDialog() override;

    // The rules as the controls show them now.
    SelectionRules RulesShown() const;
    // Tests: called with the dialog each time it has been shown, to work in
    // it and close it.
    static void SetShownHook(std::function<void(SelectNamesDialog &)> hook);

public slots:
    void FormCreate();
    // Takes the rules and closes with OK, unless no rule would count.
    void OkBtnClick();
    // Every radio button and points box: the panel shows whether its rule counts.
    void RuleChange();

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct Panel {
        QFrame *Frame;
        QComboBox *Points;
        QLabel *Rating;
        QLabel *PointsUnit;
    };
    std::array<Panel, 4> Panels() const; // age, size, depth, copy
    static SelectionRule RuleOf(const Panel &panel);
    static void ColorPanel(const Panel &panel);

    std::unique_ptr<Ui::SelectNamesForm> Form;
};

// Shows the dialog of the parent's window (made on first use, then kept with
// its settings) and applies the confirmed rules to every block. False when
// there is no result or the dialog was cancelled; the marks are then unchanged.
bool SelectByProperties(QWidget *parent);
