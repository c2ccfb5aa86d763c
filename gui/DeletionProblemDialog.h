#pragma once
// Asks what becomes of a file the trash could not take: deleted directly or
// kept, for this file or for every file of its file system. Made on first use
// and kept, so its controls keep their states between showings.

#include "results/DeletionUnit.h"

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class DeletionProblemForm;
}

class DeletionProblemDialog : public QDialog {
    Q_OBJECT

public:
    explicit DeletionProblemDialog(QWidget *parent);
    ~DeletionProblemDialog() override;

    // Shows the dialog modally for the file; driveRoot is its file system's
    // mount point (empty when unknown: then the answer is for this file only).
    // However the dialog is closed, its radio buttons give the answer.
    DeletionProblemAnswer Ask(const QString &path, const QString &driveRoot);

    // Tests: what showing a file in the file manager does.
    using FileCommand = std::function<void(const QString &path)>;
    static void SetShowCommand(FileCommand show);

public slots:
    void ShowBtnClick();

private:
    std::unique_ptr<Ui::DeletionProblemForm> Form;
    QString Path;
};
