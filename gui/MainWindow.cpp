#include "gui/MainWindow.h"

#include "gui/AboutWindow.h"
#include "gui/AskDeleteDialog.h"
#include "gui/BusyPicture.h"
#include "gui/Colors.h"
#include "gui/DeletionProblemDialog.h"
#include "gui/FileDialogs.h"
#include "gui/FilterDialog.h"
#include "gui/GuiHost.h"
#include "gui/HelpPage.h"
#include "gui/LegendWindow.h"
#include "gui/PreviewWindow.h"
#include "gui/ResultList.h"
#include "gui/SelectionCommands.h"
#include "gui/StartPageRules.h"
#include "gui/TipsWindow.h"
#include "gui/WindowPhrases.h"
#include "lang/IniDatei.h"
#include "lang/MsgDlgUnit.h"
#include "lang/RegistryUnit.h"
#include "lang/UnitPhrases.h"
#include "lang/widgets/LangWidgets.h"
#include "platform/Platform.h"
#include "platform/desktop/Desktop.h"
#include "results/ResultListUnit.h"
#include "search/MainPhrases.h"
#include "search/MatchList.h"
#include "ui_MainWindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStandardPaths>
#include <QTimer>

namespace Rules = StartPageRules;

namespace {
QString Caption() {
    return QStringLiteral("Dupliscan " DUPLISCAN_VERSION);
}

QString Phrase(int id) {
    return GetPhrase(MainFormPhrases(), id);
}

// The widgets a person works with; panels only hold them.
bool IsControl(const QWidget *widget) {
    return qobject_cast<const QAbstractButton *>(widget) ||
           qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QComboBox *>(widget) ||
           qobject_cast<const QLabel *>(widget);
}

bool IsEnterKey(const QKeyEvent *key) {
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
           (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow) {
    ui->setupUi(this);
    FormCreate();
}

MainWindow::~MainWindow() {
    // The application's signals (focus, activation) must not reach a window
    // whose controls are going.
    disconnect(qApp, nullptr, this, nullptr);
    SetDeletionProblemHandler(nullptr);
    FormDestroy();
    if (&::Host() == Host.get())
        SetHost(nullptr);
    Legend.reset();
}

// ---------------------------------------------------------------- creation

void MainWindow::FormCreate() {
    // The result page: the result panes, and the busy picture that stands in
    // for them during a run.
    Results = new ResultList(ui->SelBoxPanelA);
    ui->SelBoxPanelALayout->addWidget(Results);
    ui->ResultStack->setCurrentWidget(ui->SelBoxPanelA);
    Selections =
        new SelectionCommands(ui->PageControl, Results, [this] { HideImagePreview(false); });
    ui->StatusPanel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    ui->ResultSheetLayout->setStretchFactor(ui->ResultStack, 1);
    Host = std::make_unique<GuiHost>(this, ui->BusyImage, ui->StatusMemo, ui->ProgressBar);
    Host->SetRunStartingHandler([this] { RunStarting(); });
    Host->SetTextWidth([this](const QString &text) { return Results->TextWidth(text); });
    SetHost(Host.get());

    SearchContext &context = Context();
    context.Options = SearchOptions();
    context.LastRunOptions = context.Options;
    ui->PercentEd->setText(Rules::PercentText(context.Options.ContentPercent));
    ui->NamePercentEd->setText(Rules::PercentText(context.Options.NamePercent));
    ui->maxFilesEd->setText(Rules::MaxDuplicatesText(context.Options.MaxDuplicates));

    TranslateForm(this);
    LoadFolderHistory();
    ConnectHandlers();
    ConnectDeletion();
    ChooseLanguage();

    bool ok = false;
    const int maxLength = ReadSetting(QStringLiteral("Filenames.CompareMaxLength")).toInt(&ok);
    NameCompareMaxLength = ok ? quint8(maxLength) : 0;

    QAction *const dateItems[] = {ui->ohneDateidatum1, ui->Dateidatumanzeigen1,
                                  ui->DateidatummitUhrzeitanzeigen1};
    dateItems[std::min<int>(DateView(), DateAndTime)]->setChecked(true);

    // The dependent controls start as the check boxes say.
    WhatContentClick();
    CompareNamesCheckClick();
    FolderTwoCheckBoxClick();
    PercentEdChange();
    NamePercentEdChange();
    maxFilesEdChange();

    for (QWidget *panel : {ui->StartTitlePanel, ui->FilesTitlePanel, ui->MethodTitlePanel})
        panel->setStyleSheet(
            QStringLiteral(
                "#%1 { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #2f5f8f, "
                "stop:1 #7fa3c9); } QLabel { color: white; }")
                .arg(panel->objectName()));
    QFont titleFont = ui->StartTitleLabel->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    ui->StartTitleLabel->setFont(titleFont);
    for (QLabel *label : {ui->FilesTitleLabel, ui->MethodTitleLabel}) {
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
    }
    for (QPushButton *link : {ui->wwwHomepageLabel, ui->HelpLabel1, ui->HelpLabel2})
        link->setStyleSheet(QStringLiteral(
            "QPushButton { border: none; padding: 2px 6px; color: palette(link); "
            "text-decoration: underline; } QPushButton:disabled { color: palette(mid); }"));
    ui->ProgressBar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ui->ProgressBar->setMinimumWidth(120);
    for (QGridLayout *grid : {ui->DirPanel1Layout, ui->DirPanel2Layout, ui->FoldersPanelLayout})
        grid->setColumnStretch(1, 1);
    RefreshBuiltTexts();
}

void MainWindow::ConnectHandlers() {
    // Start page.
    connect(ui->CompareContentsCheck, &QCheckBox::toggled, this, &MainWindow::WhatContentClick);
    connect(ui->ImagesRadio, &QRadioButton::toggled, this, &MainWindow::WhatContentClick);
    connect(ui->CompareNamesCheck, &QCheckBox::toggled, this, &MainWindow::CompareNamesCheckClick);
    connect(ui->DifferentExtsCheck, &QCheckBox::toggled, this,
            &MainWindow::DifferentExtsCheckClick);
    connect(ui->identSizeCheck, &QCheckBox::toggled, this, &MainWindow::DifferentExtsCheckClick);
    for (QRadioButton *mode : {ui->InsideAllFoldersRadio, ui->DiffSubfoldersRadio,
                               ui->DiffBaseFoldersRadio, ui->CertainFileRadio})
        connect(mode, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                WhichFoldersClick();
        });
    connect(ui->FolderTwoCheckBox, &QCheckBox::toggled, this, &MainWindow::FolderTwoCheckBoxClick);
    connect(ui->BrowseBtn, &QPushButton::clicked, this, &MainWindow::BrowseBtnClick);
    connect(ui->BrowseBtn2, &QPushButton::clicked, this, &MainWindow::BrowseBtn2Click);
    connect(ui->BrowseCertainFileBtn, &QPushButton::clicked, this,
            &MainWindow::BrowseCertainFileBtnClick);
    connect(ui->FilterBtn, &QPushButton::clicked, this, &MainWindow::FilterBtnClick);
    connect(ui->SimiUpDownUp, &QToolButton::clicked, this, [this] { SimiUpDownClick(true); });
    connect(ui->SimiUpDownDown, &QToolButton::clicked, this, [this] { SimiUpDownClick(false); });
    connect(ui->NameSimiUpDownUp, &QToolButton::clicked, this,
            [this] { NameSimiUpDownClick(true); });
    connect(ui->NameSimiUpDownDown, &QToolButton::clicked, this,
            [this] { NameSimiUpDownClick(false); });
    connect(ui->PercentEd, &QLineEdit::textChanged, this, &MainWindow::PercentEdChange);
    connect(ui->NamePercentEd, &QLineEdit::textChanged, this, &MainWindow::NamePercentEdChange);
    connect(ui->maxFilesEd, &QLineEdit::textChanged, this, &MainWindow::maxFilesEdChange);
    auto *maxFilesPopup = new QMenu(ui->maxFilesEd);
    maxFilesPopup->setObjectName(QStringLiteral("maxFilesPopup"));
    maxFilesPopup->addAction(ui->noLimit1);
    connect(ui->maxFilesEd, &QWidget::customContextMenuRequested, maxFilesPopup,
            [this, maxFilesPopup](const QPoint &at) {
                maxFilesPopup->popup(ui->maxFilesEd->mapToGlobal(at));
            });
    connect(ui->noLimit1, &QAction::triggered, this, &MainWindow::noLimit1Click);
    connect(ui->PageControl, &QTabWidget::currentChanged, this, &MainWindow::PageControlChange);
    ui->PercentEd->installEventFilter(this);
    ui->NamePercentEd->installEventFilter(this);

    // The search run.
    connect(ui->FindBtn, &QPushButton::clicked, this, &MainWindow::FindBtnClick);
    connect(ui->PauseBtn, &QPushButton::clicked, this, &MainWindow::PauseBtnClick);
    connect(ui->ContinueBtn, &QPushButton::clicked, this, &MainWindow::ContinueBtnClick);
    connect(ui->ESCBtn, &QPushButton::clicked, this, &MainWindow::ESCBtnClick);
    connect(ui->EscBtn2, &QPushButton::clicked, this, &MainWindow::ESCBtnClick);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive)
                    ApplicationEventsActivate();
                else
                    ApplicationEventsDeactivate();
            });

    // The automatic selections.
    connect(ui->AutoSelFoldersBtn, &QPushButton::clicked, Selections,
            &SelectionCommands::AutoSelFoldersBtnClick);
    connect(ui->AutoSelNamesBtn, &QPushButton::clicked, Selections,
            &SelectionCommands::AutoSelNamesBtnClick);

    // Window items.
    for (QPushButton *link : {ui->wwwHomepageLabel, ui->HelpLabel1, ui->HelpLabel2})
        connect(link, &QPushButton::clicked, this, &MainWindow::wwwHomepageLabelClick);
    connect(ui->Facebook1, &QAction::triggered, this, &MainWindow::Facebook1Click);
    connect(ui->Info2, &QAction::triggered, this, &MainWindow::Info2Click);
    connect(ui->Close1, &QAction::triggered, this, &MainWindow::Close1Click);
    connect(ui->Sperre1, &QAction::triggered, this, &MainWindow::Sperre1Click);
    connect(ui->Legend1, &QAction::triggered, this, &MainWindow::Legend1Click);
    connect(ui->Hints1, &QAction::triggered, this, &MainWindow::Hints1Click);
    connect(ui->View1, &QMenu::aboutToShow, this,
            [this] { ui->Hints1->setChecked(Tips && Tips->TipsVisible()); });
    auto *dateItems = new QActionGroup(this);
    for (QAction *item :
         {ui->ohneDateidatum1, ui->Dateidatumanzeigen1, ui->DateidatummitUhrzeitanzeigen1}) {
        dateItems->addAction(item);
        connect(item, &QAction::triggered, this, &MainWindow::DateViewClick);
    }

    // Enter presses the default button of the panel that holds the focus.
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { FocusChanged(now); });
    const QList<QWidget *> areas{ui->DirPanel1, ui->DirPanel2, ui->CertainFileEd, ui->ActionPanel};
    for (QWidget *area : areas) {
        area->installEventFilter(this);
        for (QWidget *inside : area->findChildren<QWidget *>())
            inside->installEventFilter(this);
    }

    ui->DirLabel1->setBuddy(ui->FolderEd);
    ui->PercentLabel->setBuddy(ui->PercentEd);
    ui->NamePercentLabel->setBuddy(ui->NamePercentEd);
    ui->MaxDubLabel1->setBuddy(ui->maxFilesEd);
    ui->ProgressLabel->setBuddy(ui->ProgressBar);
    setTabOrder(ui->FolderEd, ui->BrowseBtn);

    ConnectResultCommands();
}

void MainWindow::LoadFolderHistory() {
    QStringList history = FromCommaText(RegReadString(false, QStringLiteral("Dirs")));
    history.removeAll(QString());
    while (history.size() > Rules::FolderHistoryLength)
        history.removeLast();
    ui->FolderEd->addItems(history);
    if (ui->FolderEd->count() > 0)
        ui->FolderEd->setCurrentIndex(0);
    if (ui->FolderEd->currentText().isEmpty()) {
        ui->FolderEd->addItem(Platform::WithTrailingDelimiter(
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
        ui->FolderEd->addItem(
            Platform::WithTrailingDelimiter(QFileInfo(Platform::ProgramFilePath()).path()));
        ui->FolderEd->setCurrentIndex(0);
    }
}

void MainWindow::ChooseLanguage() {
    const QString code = StartLanguageCode();
    if (!code.isEmpty())
        SetProgramLanguage(code);
    BuildLanguageMenu(PhraseTable(), ui->Language1, true,
                      [this](QAction *item) { LanguageClick(item); });
}

void MainWindow::LanguageClick(QAction *item) {
    if (!LanguageMenuClick(item->text()))
        return;
    RefreshBuiltTexts();
    if (Tips && Tips->TipsVisible())
        ShowTipsWindow();
}

void MainWindow::RefreshBuiltTexts() {
    if (!InRun)
        setWindowTitle(Caption());
    const QString subtitle = GetTablePhrase(1);
    if (!subtitle.isEmpty())
        ui->StartTitleLabel->setText(subtitle);
    ui->StartInfoLabel->setText(GetTablePhrase(3));
    UpdateFilterLabel();
    UpdateFindCaption();
    // Fields named by the control beside them.
    ui->FolderEd2->setAccessibleName(ui->FolderTwoCheckBox->text());
    ui->CertainFileEd->setAccessibleName(ui->CertainFileRadio->text());
    ui->FilterLabel->setAccessibleName(ui->FilterBtn->text());
    ui->StatusMemo->setAccessibleName(ui->ProgressLabel->text());
    for (QToolButton *step : {ui->SimiUpDownUp, ui->NameSimiUpDownUp})
        step->setAccessibleName(QStringLiteral("+10%"));
    for (QToolButton *step : {ui->SimiUpDownDown, ui->NameSimiUpDownDown})
        step->setAccessibleName(QStringLiteral("-10%"));
    // The two folder fields start at one line, whatever the language's
    // captions beside them.
    const int captionWidth =
        std::max(ui->DirLabel1->sizeHint().width(), ui->FolderTwoCheckBox->sizeHint().width());
    for (QGridLayout *grid : {ui->DirPanel1Layout, ui->DirPanel2Layout})
        grid->setColumnMinimumWidth(0, captionWidth);
    FormResize();
}

void MainWindow::UpdateFilterLabel() {
    ui->FilterLabel->setText(FilterDescription());
}

void MainWindow::CreateLegendWindow() {
    Legend = std::make_unique<LegendWindow>(this);
    Tips = std::make_unique<TipsWindow>(this);
}

void MainWindow::SetStartFolders(const QString &first, const QString &second) {
    if (!first.isEmpty())
        ui->FolderEd->setEditText(first);
    if (!second.isEmpty()) {
        ui->FolderEd2->setText(second);
        ui->FolderTwoCheckBox->setChecked(true);
    }
}

void MainWindow::FormDestroy() {
    RegWriteString(false, QStringLiteral("Exec"), Platform::ProgramFilePath());
    RegWriteString(false, QStringLiteral("Ver"), QStringLiteral(DUPLISCAN_VERSION));
    QStringList items;
    for (int k = 0; k < ui->FolderEd->count(); ++k)
        items.append(ui->FolderEd->itemText(k));
    RegWriteString(false, QStringLiteral("Dirs"),
                   CommaText(Rules::FolderHistoryToSave(items, ui->FolderEd->currentText())));
}

void MainWindow::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (FirstActivation)
        return;
    FirstActivation = true;
    QTimer::singleShot(250, this, &MainWindow::StartupTimerTimer);
}

void MainWindow::StartupTimerTimer() {
    ui->BusyImage->Relayout();
    ShowTipsWindow();
}

void MainWindow::ShowTipsWindow() {
    if (Tips)
        Tips->ShowTipsIfEnabled(ui->PageControl->currentWidget() == ui->ResultSheet
                                    ? TipsPage::Result
                                    : TipsPage::Start);
}

void MainWindow::Hints1Click() {
    if (Tips)
        Tips->Hints1Click(ui->PageControl->currentWidget() == ui->ResultSheet ? TipsPage::Result
                                                                              : TipsPage::Start);
}

// ---------------------------------------------------------------- start page

void MainWindow::SetPanelEnabled(QWidget *panel, QAbstractButton *except, bool enabled) {
    for (QWidget *widget : panel->findChildren<QWidget *>())
        if (widget != except && IsControl(widget))
            widget->setEnabled(enabled);
}

void MainWindow::SetFieldWhite(QLineEdit *field, bool white) {
    QPalette colours = field->palette();
    colours.setColor(QPalette::Base,
                     white ? QColor(Qt::white)
                           : field->parentWidget()->palette().color(QPalette::Window));
    field->setPalette(colours);
}

void MainWindow::WhatContentClick() {
    UpdateFindCaption();
    Filter().ImageMode = ui->ImagesRadio->isChecked();
    if (ui->CompareContentsCheck->isChecked()) {
        SetPanelEnabled(ui->ConfigPanel2, ui->CompareContentsCheck, true);
        if (Filter().ImageMode)
            SetImagePreset();
        else
            ClearImagePreset();
        UpdateFilterLabel();
    } else {
        SetPanelEnabled(ui->ConfigPanel2, ui->CompareContentsCheck, false);
    }
}

void MainWindow::CompareNamesCheckClick() {
    SetPanelEnabled(ui->ConfigPanel3, ui->CompareNamesCheck, ui->CompareNamesCheck->isChecked());
    UpdateFindCaption();
}

void MainWindow::DifferentExtsCheckClick() {
    UpdateFindCaption();
}

void MainWindow::FolderTwoCheckBoxClick() {
    if (ui->FolderTwoCheckBox->isChecked()) {
        SetFieldWhite(ui->FolderEd2, true);
        if (ui->FolderEd2->text().isEmpty())
            ui->FolderEd2->setText(SavedFolderTwo);
        ui->DiffBaseFoldersRadio->setEnabled(true);
        ui->DiffBaseFoldersRadio->setChecked(true);
        ui->FolderEd2->setFocus();
        return;
    }
    if (!ui->FolderEd2->text().isEmpty()) {
        SavedFolderTwo = ui->FolderEd2->text();
        ui->FolderEd2->clear();
    }
    SetFieldWhite(ui->FolderEd2, false);
    const bool wasChecked = ui->DiffBaseFoldersRadio->isChecked();
    ui->DiffBaseFoldersRadio->setEnabled(false);
    if (wasChecked)
        ui->DiffSubfoldersRadio->setChecked(true);
}

void MainWindow::WhichFoldersClick() {
    if (ui->CertainFileRadio->isChecked()) {
        ui->FolderTwoCheckBox->setChecked(false);
        SetFieldWhite(ui->CertainFileEd, true);
        if (ui->CertainFileEd->text().isEmpty())
            ui->CertainFileEd->setText(SavedCertainFile);
        ui->CertainFileEd->setFocus();
        return;
    }
    if (!ui->CertainFileEd->text().isEmpty()) {
        SavedCertainFile = ui->CertainFileEd->text();
        ui->CertainFileEd->clear();
    }
    SetFieldWhite(ui->CertainFileEd, false);
}

void MainWindow::BrowseBtnClick() {
    const QString folder =
        FileDialogs::GetExistingFolder(this, Phrase(3), ui->FolderEd->currentText().trimmed());
    if (!folder.isEmpty())
        ui->FolderEd->setEditText(folder);
}

void MainWindow::BrowseBtn2Click() {
    QString start = ui->FolderEd2->text().trimmed();
    if (ui->FolderEd2->text().isEmpty())
        start = SavedFolderTwo.trimmed();
    const QString folder = FileDialogs::GetExistingFolder(this, Phrase(4), start);
    if (folder.isEmpty())
        return;
    ui->FolderEd2->setText(folder);
    ui->FolderTwoCheckBox->setChecked(true);
}

void MainWindow::BrowseCertainFileBtnClick() {
    const QString start =
        ui->CertainFileEd->text().isEmpty() ? SavedCertainFile : ui->CertainFileEd->text();
    QString title = ui->BrowseCertainFileBtn->text();
    title.remove(QLatin1Char('&'));
    const QString file = FileDialogs::GetOpenFileName(this, SplitPhraseKey(title).Text, start,
                                                      GetPhrase(WindowPhrases(), PhraseAllFiles) +
                                                          QStringLiteral(" (*)"));
    if (file.isEmpty())
        return;
    ui->CertainFileRadio->setChecked(true);
    ui->CertainFileEd->setText(file);
}

void MainWindow::FilterBtnClick() {
    ShowFilterDialog(this);
    UpdateFilterLabel();
    if (Filter().ImageMode) {
        if (Rules::ParsePercent(ui->PercentEd->text()) == Rules::HighestPercent)
            ui->PercentEd->setText(Rules::PercentText(80));
        ui->ImagesRadio->setChecked(true);
    } else {
        ui->BytesRadio->setChecked(true);
    }
    UpdateFindCaption();
}

void MainWindow::SimiUpDownClick(bool up) {
    ui->PercentEd->setText(
        Rules::PercentText(Rules::StepPercent(Rules::ParsePercent(ui->PercentEd->text()), up)));
}

void MainWindow::NameSimiUpDownClick(bool up) {
    ui->NamePercentEd->setText(
        Rules::PercentText(Rules::StepPercent(Rules::ParsePercent(ui->NamePercentEd->text()), up)));
}

void MainWindow::ApplyPercentLook(QLineEdit *field, int percent) {
    QPalette colours = field->palette();
    colours.setColor(QPalette::Text, QColor(Rules::PercentRed(percent), 0, 0));
    field->setPalette(colours);
}

void MainWindow::PercentEdChange() {
    const int percent = Rules::ParsePercent(ui->PercentEd->text());
    ui->incl100Check->setVisible(Rules::IncludeHundredVisible(percent));
    UpdateFindCaption(percent);
    ApplyPercentLook(ui->PercentEd, percent);
}

void MainWindow::NamePercentEdChange() {
    UpdateFindCaption();
    ApplyPercentLook(ui->NamePercentEd, Rules::ParsePercent(ui->NamePercentEd->text()));
}

void MainWindow::UpdateFindCaption(int percent) {
    Rules::FindCaptionInput input;
    input.ContentPercent = percent >= 0 ? percent : Rules::ParsePercent(ui->PercentEd->text());
    input.Images = ui->ImagesRadio->isChecked();
    input.CompareContents = ui->CompareContentsCheck->isChecked();
    input.CompareNames = ui->CompareNamesCheck->isChecked();
    input.NamePercent = Rules::ParsePercent(ui->NamePercentEd->text());
    input.DifferentExts = ui->DifferentExtsCheck->isChecked();
    ui->FindBtn->setText(Phrase(Rules::FindCaptionPhrase(input)));
}

void MainWindow::maxFilesEdChange() {
    const bool limit = Rules::MaxFilesGivesLimit(ui->maxFilesEd->text());
    QPalette field = ui->maxFilesEd->palette();
    field.setColor(QPalette::Base, limit ? palette().color(QPalette::Base) : FromBgr(0xF0F0F0));
    ui->maxFilesEd->setPalette(field);
    for (QLabel *label : {ui->MaxDubLabel1, ui->MaxDubLabel2}) {
        QPalette text = label->palette();
        text.setColor(QPalette::WindowText, limit ? QColor(Qt::black) : FromBgr(0x707070));
        label->setPalette(text);
    }
}

void MainWindow::noLimit1Click() {
    ui->maxFilesEd->clear();
    ui->FindBtn->setFocus();
}

void MainWindow::PageControlChange() {
    HideImagePreview(false);
}

void MainWindow::FocusChanged(QWidget *now) {
    // Each area's entering and leaving makes its button the default and
    // takes that again.
    const std::pair<QWidget *, QPushButton *> areas[] = {
        {ui->DirPanel1, ui->BrowseBtn},
        {ui->DirPanel2, ui->BrowseBtn2},
        {ui->CertainFileEd, ui->BrowseCertainFileBtn},
        {ui->ActionPanel, ui->FindBtn}};
    for (const auto &[area, button] : areas)
        button->setDefault(now && (now == area || area->isAncestorOf(now)));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (watched == ui->PercentEd || watched == ui->NamePercentEd) {
        if (key->key() != Qt::Key_Up && key->key() != Qt::Key_Down)
            return false;
        const bool up = key->key() == Qt::Key_Up;
        if (watched == ui->PercentEd)
            SimiUpDownClick(up);
        else
            NameSimiUpDownClick(up);
        return true;
    }
    if (!IsEnterKey(key))
        return false;
    // Enter on a button presses that button; elsewhere the area's default.
    if (auto *button = qobject_cast<QPushButton *>(watched)) {
        if (button->isEnabled())
            button->click();
        return true;
    }
    for (QPushButton *button :
         {ui->BrowseBtn, ui->BrowseBtn2, ui->BrowseCertainFileBtn, ui->FindBtn})
        if (button->isDefault() && button->isEnabled()) {
            button->click();
            return true;
        }
    return false;
}

void MainWindow::keyPressEvent(QKeyEvent *event) {
    FormKeyDown(event);
    if (!event->isAccepted())
        QMainWindow::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent *event) {
    FormKeyUp(event);
    if (!event->isAccepted())
        QMainWindow::keyReleaseEvent(event);
}

void MainWindow::FormKeyDown(QKeyEvent *event) {
    event->ignore();
    // The cancel button answers Escape wherever the focus is.
    if (event->key() == Qt::Key_Escape && ui->ESCBtn->isEnabled()) {
        ui->ESCBtn->click();
        event->accept();
        return;
    }
    // Escape in the result list closes the image preview.
    const QWidget *focus = focusWidget();
    const bool inPane = focus && Results->isAncestorOf(focus) &&
                        (focus->objectName() == QLatin1String("NameBox") ||
                         focus->objectName() == QLatin1String("InfoBox"));
    if (event->key() == Qt::Key_Escape && inPane && Preview && Preview->isVisible()) {
        Preview->close();
        event->accept();
    }
}

void MainWindow::FormKeyUp(QKeyEvent *event) {
    // Space and Delete on a result row are the result list's own keys.
    event->ignore();
}

void MainWindow::wheelEvent(QWheelEvent *event) {
    FormMouseWheel(event);
    if (!event->isAccepted())
        QMainWindow::wheelEvent(event);
}

// The wheel scrolls the result list also where the pointer is over the
// buttons beneath it.
void MainWindow::FormMouseWheel(QWheelEvent *event) {
    // Over the image preview the wheel scrolls its thumbnails.
    if (Preview && Preview->isVisible() &&
        Preview->frameGeometry()
            .adjusted(1, 1, -1, -1)
            .contains(event->globalPosition().toPoint())) {
        Preview->ScrollByWheel(event->angleDelta().y());
        event->accept();
        return;
    }
    event->setAccepted(ui->PageControl->currentWidget() == ui->ResultSheet &&
                       Results->WheelFromWindow(event));
}

void MainWindow::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void MainWindow::FormResize() {
    // Shrunk, a title panel stays as a line of its colour.
    const auto shrink = [](QWidget *panel, bool shrunk) {
        panel->setMinimumHeight(shrunk ? 1 : 0);
        panel->setMaximumHeight(shrunk ? 1 : QWIDGETSIZE_MAX);
        for (QLabel *label : panel->findChildren<QLabel *>())
            label->setVisible(!shrunk && !label->text().isEmpty());
    };
    shrink(ui->FilesTitlePanel, Rules::FilesTitleShrinks(height()));
    shrink(ui->MethodTitlePanel, Rules::MethodTitlesShrink(height()));
    shrink(ui->StartTitlePanel, Rules::MethodTitlesShrink(height()));
    if (ui->BusyImage->isVisible())
        ui->BusyImage->Relayout();
}

// ---------------------------------------------------------------- search run

SearchRequest MainWindow::RequestFromPage() {
    SearchRequest request;
    request.Folder1 = ui->FolderEd->currentText();
    request.Folder2 = ui->FolderTwoCheckBox->isChecked() ? ui->FolderEd2->text() : QString();
    request.IncludeSubfolders = ui->SubfoldersCheck->isChecked();

    SearchOptions &o = request.Options;
    o.CompareContents = ui->CompareContentsCheck->isChecked();
    o.ImageMode = Filter().ImageMode;
    o.ContentPercent = quint8(Rules::ParsePercent(ui->PercentEd->text()));
    ui->PercentEd->setText(Rules::PercentText(o.ContentPercent));
    o.CompareNames = ui->CompareNamesCheck->isChecked();
    o.NamePercent = quint8(Rules::ParsePercent(ui->NamePercentEd->text()));
    ui->NamePercentEd->setText(Rules::PercentText(o.NamePercent));
    o.DifferentExts = ui->DifferentExtsCheck->isChecked();
    o.IdenticalSize = ui->identSizeCheck->isChecked();
    o.NameCompareMaxLength = NameCompareMaxLength;
    o.FolderMode = Rules::FolderModeOf(ui->DiffSubfoldersRadio->isChecked(),
                                       ui->DiffBaseFoldersRadio->isChecked());
    o.CertainFile = ui->CertainFileEd->text();
    o.MaxDuplicates = Rules::ParseMaxDuplicates(ui->maxFilesEd->text());
    ui->maxFilesEd->setText(Rules::MaxDuplicatesText(o.MaxDuplicates));
    request.CertainFileMode = ui->CertainFileRadio->isChecked();
    request.IncludeHundred = ui->incl100Check->isChecked();

    const FilterState &filter = Filter();
    request.Filter = {filter.IncludeText, filter.ExcludeText, filter.NeverList.trimmed(),
                      filter.MinSizeKB, filter.MaxSizeKB};
    return request;
}

void MainWindow::FindBtnClick() {
    if (InRun || Deleting)
        return;
    if (Legend)
        Legend->hide();
    HideImagePreview(true);
    LastResult = RunSearch(RequestFromPage());
    WriteBackSettled(LastResult);
    if (!LastResult.Ran()) {
        ShowRefusal(LastResult);
        return;
    }
    RunEnded(LastResult);
}

void MainWindow::WriteBackSettled(const SearchResult &result) {
    const SearchRequest &settled = result.Settled;
    if (settled.Options.DifferentExts)
        ui->DifferentExtsCheck->setChecked(true);
    const bool foldersSettled = result.Options == OptionProblem::None &&
                                result.CertainFile == CertainFileProblem::None &&
                                result.Folder == BaseFolderProblem::None;
    if (!foldersSettled || settled.Folder1.isEmpty())
        return;
    ui->FolderEd->setEditText(settled.Folder1);
    if (settled.Folder2.isEmpty())
        ui->FolderTwoCheckBox->setChecked(false);
    else
        ui->FolderEd2->setText(settled.Folder2);
    if (!result.Ran())
        return;
    QStringList items;
    for (int k = 0; k < ui->FolderEd->count(); ++k)
        items.append(ui->FolderEd->itemText(k));
    const QString current = ui->FolderEd->currentText();
    const QStringList history = Rules::FolderHistoryAfterSearch(items, current);
    if (history != items) {
        ui->FolderEd->clear();
        ui->FolderEd->addItems(history);
        ui->FolderEd->setEditText(current);
    }
}

void MainWindow::ShowRefusal(const SearchResult &result) {
    const int certainFilePhrase = CertainFileProblemPhrase(result.CertainFile);
    if (certainFilePhrase != 0) {
        ::ShowError(Phrase(certainFilePhrase));
        ui->CertainFileEd->setFocus();
        return;
    }
    switch (result.Options) {
    case OptionProblem::NoMethod:
        ::ShowError(Phrase(40));
        return;
    case OptionProblem::PixelHundred:
        ::ShowError(Phrase(39));
        return;
    case OptionProblem::TwoFoldersNeeded: // the window's folder mode follows its folders
    case OptionProblem::None:
        break;
    }
    const QString digit = QString::number(result.ProblemFolder);
    const QString typed =
        (result.ProblemFolder == 2 ? result.Settled.Folder2 : result.Settled.Folder1).trimmed();
    const QString path = QLatin1Char('\n') + PathForMessage(Platform::AbsolutePath(typed));
    QPushButton *browse = result.ProblemFolder == 2 ? ui->BrowseBtn2 : ui->BrowseBtn;
    switch (result.Folder) {
    case BaseFolderProblem::Missing:
        ::ShowError(GetPhraseParam(MainFormPhrases(), 13, digit) + path);
        break;
    case BaseFolderProblem::NotAFolder:
        ::ShowError(GetPhraseParam(WindowPhrases(), PhraseFolderIsFile, digit) + path);
        break;
    case BaseFolderProblem::Unreadable:
        ::ShowError(GetPhraseParam(WindowPhrases(), PhraseFolderUnreadable, digit) + path);
        break;
    case BaseFolderProblem::NotSearchable:
        ::ShowError(GetPhraseParam(WindowPhrases(), PhraseFolderNotSearchable, digit) + path);
        break;
    case BaseFolderProblem::NoFolder:
        ::ShowError(Phrase(14));
        browse = ui->BrowseBtn;
        break;
    case BaseFolderProblem::None:
        // A question the user declined needs no further word.
        return;
    }
    browse->click();
}

void MainWindow::RunStarting() {
    InRun = true;
    // What the deletion knew belongs to the rows that go now.
    ResetDeletionDrives();
    ForgetLastRemoval();
    UpdateUndoControls();
    Results->ClearResultList();
    DisabledForRun.clear();
    QList<QWidget *> controls = ui->StartSheet->findChildren<QWidget *>();
    controls.append(ui->FindBtn);
    for (QWidget *control : controls)
        if (IsControl(control) && control->isEnabled()) {
            control->setEnabled(false);
            DisabledForRun.append(control);
        }
    for (QMenu *menu : {ui->File1, ui->View1, ui->Language1})
        menu->menuAction()->setEnabled(false);
    for (QPushButton *button : {ui->AutoSelFoldersBtn, ui->AutoSelNamesBtn, ui->DelTwinsBtn})
        button->setEnabled(false);
    EnableResultCommands(false);
    ui->wwwHomepageLabel->setEnabled(true);
    ui->PageControl->setCurrentWidget(ui->ResultSheet);
    for (QPushButton *button : {ui->PauseBtn, ui->ESCBtn, ui->EscBtn2})
        button->setEnabled(true);
    ui->ContinueBtn->setEnabled(false);
    ui->EscBtn2->setFocus();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    ui->ResultStack->setCurrentWidget(ui->BusyImage);
    ui->BusyImage->Clear();
}

void MainWindow::RunEnded(const SearchResult &result) {
    RestorePriority();
    Host->Flush();
    setWindowTitle(Caption());
    for (const QPointer<QWidget> &control : std::as_const(DisabledForRun))
        if (control)
            control->setEnabled(true);
    DisabledForRun.clear();
    for (QMenu *menu : {ui->File1, ui->View1, ui->Language1})
        menu->menuAction()->setEnabled(true);
    QApplication::restoreOverrideCursor();
    for (QPushButton *button : {ui->ESCBtn, ui->EscBtn2, ui->PauseBtn, ui->ContinueBtn})
        button->setEnabled(false);

    const bool deletionAllowed = result.Matches > 0 && result.Outcome != RunOutcome::Terminated;
    if (result.Outcome != RunOutcome::Terminated)
        Results->FillResultList();
    ui->ResultStack->setCurrentWidget(ui->SelBoxPanelA);
    if (deletionAllowed && !result.Settled.Folder2.isEmpty() && !CloseAfterRun)
        ::ShowInfo(Phrase(20) + QLatin1Char('\n') + Phrase(21));
    ui->ProgressBar->setValue(0);
    ui->DelTwinsBtn->setEnabled(deletionAllowed);
    ui->AutoSelFoldersBtn->setEnabled(deletionAllowed);
    ui->AutoSelNamesBtn->setEnabled(ui->AutoSelFoldersBtn->isEnabled());
    EnableResultCommands(!MatchList().empty());
    SetRunState(RunStateValue::Finished);
    InRun = false;
    if (CloseAfterRun) {
        close();
        return;
    }
    if (deletionAllowed) {
        if (Legend)
            Legend->ShowLegend(this);
        ShowTipsWindow();
        activateWindow();
    }
}

void MainWindow::PauseBtnClick() {
    RestorePriority();
    SetRunState(RunStateValue::Paused);
    ui->PauseBtn->setEnabled(false);
    ui->ContinueBtn->setEnabled(true);
    ui->ContinueBtn->setFocus();
}

void MainWindow::ContinueBtnClick() {
    ui->ContinueBtn->setEnabled(false);
    SetRunState(RunStateValue::Running);
    ui->PauseBtn->setEnabled(true);
    ui->PauseBtn->setFocus();
}

void MainWindow::ESCBtnClick() {
    RestorePriority();
    SetRunState(RunStateValue::StopRequested);
    for (QPushButton *button : {ui->ESCBtn, ui->EscBtn2, ui->PauseBtn, ui->ContinueBtn})
        button->setEnabled(false);
}

void MainWindow::ApplicationEventsActivate() {
    RestorePriority();
}

void MainWindow::ApplicationEventsDeactivate() {
    if (PriorityLowered || !ui->minPrior1->isChecked() || RunState() != RunStateValue::Running)
        return;
    PriorityLowered = Desktop::LowerPriority();
}

void MainWindow::RestorePriority() {
    if (!PriorityLowered)
        return;
    Desktop::RestorePriority();
    PriorityLowered = false;
}

void MainWindow::closeEvent(QCloseEvent *event) {
    if (InRun || Deleting) {
        // The run ends at its next poll; the window closes when it has. A
        // removal finishes the file at hand and reports what it did.
        CloseAfterRun = true;
        Host->SetTerminating(true);
        if (Deleting)
            SetRunState(RunStateValue::StopRequested);
        event->ignore();
        return;
    }
    if (Legend)
        Legend->hide();
    HideImagePreview(false);
    event->accept();
}

// ---------------------------------------------------------------- window items

void MainWindow::OpenHelpPage(QPushButton *label) {
    label->setEnabled(false);
    ::OpenHelpPage();
    // A second click while the browser starts would open the page twice.
    QTimer::singleShot(400, label, [label] { label->setEnabled(true); });
}

void MainWindow::wwwHomepageLabelClick() {
    if (auto *label = qobject_cast<QPushButton *>(sender()))
        OpenHelpPage(label);
}

void MainWindow::Facebook1Click() {
    ::OpenHelpPage();
}

void MainWindow::Info2Click() {
    AboutWindow::ShowAbout(this);
}

void MainWindow::Close1Click() {
    close();
}

void MainWindow::Sperre1Click() {
    if (ui->Sperre1->isChecked())
        return;
    ShowMessageBox(Rules::LockWarningText(GetPhrase(AskToDeletePhrases(), 3),
                                          GetPhrase(AskToDeletePhrases(), 4)),
                   TMsgDlgType::Warning, mbOK);
}

void MainWindow::DateViewClick() {
    quint8 view = DateOnly;
    if (ui->ohneDateidatum1->isChecked())
        view = NoDate;
    else if (ui->DateidatummitUhrzeitanzeigen1->isChecked())
        view = DateAndTime;
    DateView() = view;
    Results->SetDateView(view);
}

void MainWindow::Legend1Click() {
    if (Legend)
        Legend->Legend1Click(this);
}
