// The main window's commands on a result: saving it, copying it to the
// clipboard, and the image preview of the selected row's block.

#include "gui/FileDialogs.h"
#include "gui/MainWindow.h"
#include "gui/PreviewWindow.h"
#include "gui/ResultList.h"
#include "lang/MsgDlgUnit.h"
#include "lang/MultiLingua.h"
#include "platform/Platform.h"
#include "platform/desktop/Desktop.h"
#include "results/ExportUnit.h"
#include "results/PreviewUnit.h"
#include "search/MainPhrases.h"
#include "search/MatchList.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QShortcut>
#include <QStandardPaths>

void MainWindow::ConnectResultCommands() {
    SaveFileName = Platform::WithTrailingDelimiter(
                       QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)) +
                   QStringLiteral("Dupliscan");
    connect(ui->SaveAs1, &QAction::triggered, this, &MainWindow::SaveAs1Click);
    const std::pair<const char *, void (MainWindow::*)()> items[] = {
        {"CopyFilename1", &MainWindow::CopyFilename1Click},
        {"CopyResult1", &MainWindow::CopyResult1Click},
        {"SaveAs2", &MainWindow::SaveAs1Click}};
    for (const auto &[name, handler] : items)
        if (QAction *item = Results->findChild<QAction *>(QLatin1String(name)))
            connect(item, &QAction::triggered, this, handler);
    EnableResultCommands(false);

    ui->ImagePreview1->setChecked(PreviewEnabled());
    connect(ui->ImagePreview1, &QAction::triggered, this, &MainWindow::ImagePreview1Click);
    connect(ui->View1, &QMenu::aboutToShow, this, &MainWindow::View1Click);
    connect(Results, &ResultList::RowSelected, this, &MainWindow::UpdatePreview);
    // The preview opens without taking the keyboard from the list; F6 moves
    // there and back, as between the panes of a file manager. The key works
    // in the preview too: a tool window shares its main window's shortcuts.
    auto *switchKey = new QShortcut(QKeySequence(Qt::Key_F6), this);
    switchKey->setObjectName(QStringLiteral("PreviewFocusKey"));
    connect(switchKey, &QShortcut::activated, this, [this] {
        if (!Preview || !Preview->isVisible())
            return;
        if (Preview->isActiveWindow())
            activateWindow();
        else
            Preview->TakeKeyboard();
    });
}

void MainWindow::EnableResultCommands(bool enabled) {
    ui->SaveAs1->setEnabled(enabled);
    for (const char *name : {"CopyFilename1", "CopyResult1", "SaveAs2"})
        if (QAction *item = Results->findChild<QAction *>(QLatin1String(name)))
            item->setEnabled(enabled);
}

void MainWindow::SetDefaultApplicationQuery(FileQuery query) {
    HasDefaultApplication = std::move(query);
}

void MainWindow::SaveAs1Click() {
    if (MatchList().empty())
        return;
    QString filter = ExportFilter(SaveFormat);
    const QString chosen = FileDialogs::GetSaveFileName(
        this, TranslateText(QStringLiteral("Suchergebnis exportieren als")), SaveFileName,
        ExportFilters(), &filter);
    if (chosen.isEmpty())
        return;
    QCoreApplication::processEvents();
    const ExportFormat format = ExportFormatOf(
        chosen, filter == ExportFilter(ExportFormat::Csv) ? ExportFormat::Csv : ExportFormat::Xls);
    QString fileName = ExportFileName(chosen, format);
    SaveFileName = fileName;
    SaveFormat = format;
    // The dialog asked about replacing the name it gave, not the one the
    // extension made of it.
    if (fileName != chosen && Platform::StatPath(fileName, false).Exists &&
        ::AskYesCancel(GetPhrase(ExportPhrases(), ExportPhraseExists) + QLatin1Char('\n') +
                       PathForMessage(fileName)) != mrYes)
        return;

    // Nothing may start a run or remove a file while the result is written.
    QPointer<QWidget> focus = QApplication::focusWidget();
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    int leftOut = 0;
    const bool saved = ExportResult(fileName, format, &error, &leftOut);
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    if (focus)
        focus->setFocus();

    if (!saved) {
        ::ShowError(GetPhrase(ExportPhrases(), ExportPhraseNotSaved) + QLatin1Char('\n') +
                    PathForMessage(fileName) + QLatin1Char('\n') + error);
        return;
    }
    if (leftOut > 0)
        ::ShowInfo(
            GetPhraseParam(ExportPhrases(), ExportPhraseSheetFull, QString::number(leftOut)));
    const bool canOpen = HasDefaultApplication ? HasDefaultApplication(fileName)
                                               : Desktop::HasDefaultApplication(fileName);
    if (canOpen && ::AskYesNo(GetPhrase(MainFormPhrases(), 32) + QLatin1Char('\n') +
                              GetPhrase(MainFormPhrases(), 33)) == mrYes)
        Desktop::OpenWithDefaultApplication(fileName);
}

void MainWindow::CopyResult1Click() {
    const QString text = ResultListText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void MainWindow::CopyFilename1Click() {
    const QString name = RowFileName(Results->SelectedRow());
    if (!name.isEmpty())
        QGuiApplication::clipboard()->setText(name);
}

void MainWindow::ImagePreview1Click() {
    PreviewEnabled() = ui->ImagePreview1->isChecked();
    if (PreviewEnabled())
        UpdatePreview();
    else
        HideImagePreview(true);
}

void MainWindow::View1Click() {
    ui->ImagePreview1->setChecked(PreviewEnabled());
}

void MainWindow::UpdatePreview() {
    if (!PreviewEnabled())
        return;
    const std::optional<PreviewBlock> block = PreviewBlockOf(Results->SelectedRow());
    if (!block)
        return;
    if (block->Paths.isEmpty()) {
        HideImagePreview(false);
        return;
    }
    if (!Preview) {
        Preview = new PreviewWindow(this);
        connect(Preview, &PreviewWindow::PreviewSwitchedOff, this, &MainWindow::View1Click);
    }
    if (Preview->ShowPreview(block->Group, block->Paths, block->Current))
        activateWindow();
}

void MainWindow::HideImagePreview(bool forget) {
    if (Preview)
        Preview->HidePreview(forget);
}
