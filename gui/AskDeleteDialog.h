#pragma once
// The confirmation before files are removed: how they go (into the holding
// folder, into the trash, or deleted directly) and whether a link to the file
// that stays takes each one's place. Made on first use and kept, so it keeps
// the user's last choice while the program runs.

#include <QDialog>
#include <QStringList>
#include <memory>

namespace Ui {
class AskDeleteForm;
}

class AskDeleteDialog : public QDialog {
    Q_OBJECT

public:
    explicit AskDeleteDialog(QWidget *parent);
    ~AskDeleteDialog() override;

    // Shows the dialog modally. holdingRoots are the holding folders' roots of
    // the files to remove; the move button names the folder when there is
    // one. 0 when not confirmed, otherwise the way (1 trash, 2 directly,
    // 4 move) plus 128 for the links.
    int Ask(const QStringList &holdingRoots);
    // The answer the controls give now, as Ask returns it on Yes.
    int Choice() const;

public slots:
    // The Yes button says what it will do.
    void RadioClick();

private:
    std::unique_ptr<Ui::AskDeleteForm> Form;
};
