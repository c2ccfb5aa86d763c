#include "gui/DeletionProblemDialog.h"

#include "gui/Accelerators.h"
#include "gui/Colors.h"
#include "gui/DeletionTexts.h"
#include "gui/ModalSeam.h"
#include "lang/UnitPhrases.h"
#include "lang/widgets/LangWidgets.h"
#include "platform/desktop/Desktop.h"
#include "ui_DeletionProblemDialog.h"

namespace {
constexpr quint32 GradientTop = 0xE8F9FC;
constexpr quint32 GradientBottom = 0xBADAE2;
constexpr quint32 FontColor = 0x010000;
// Wider paths are shortened in their middle; the whole path is the hint.
constexpr int PathWidth = 480;

DeletionProblemDialog::FileCommand &ShowCommand() {
    static DeletionProblemDialog::FileCommand command;
    return command;
}

// Control characters of a name would break the line.
QString Printable(QString path) {
    for (QChar &c : path)
        if (c.unicode() < 32 || c.unicode() == 127)
            c = QChar(0xFFFD);
    return path;
}
} // namespace

DeletionProblemDialog::DeletionProblemDialog(QWidget *parent)
    : QDialog(parent), Form(new Ui::DeletionProblemForm) {
    Form->setupUi(this);
    Form->Background->SetColors(GradientTop, GradientBottom);
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, FromBgr(FontColor));
    colors.setColor(QPalette::ButtonText, FromBgr(FontColor));
    setPalette(colors);
    const TMLStringList &words = DeletionWindowPhrases();
    Form->Label1->setText(GetPhrase(words, PhraseNotIntoTrash));
    Form->Label2->setText(GetPhrase(words, PhraseNoTrashHere));
    Form->KillDirectRadio->setText(GetPhrase(words, PhraseKillDirect));
    Form->Label2->setMinimumWidth(PathWidth);
    connect(Form->ShowBtn, &QPushButton::clicked, this, &DeletionProblemDialog::ShowBtnClick);
    connect(Form->OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    TranslateForm(this);
}

DeletionProblemDialog::~DeletionProblemDialog() = default;

void DeletionProblemDialog::SetShowCommand(FileCommand show) {
    ShowCommand() = std::move(show);
}

DeletionProblemAnswer DeletionProblemDialog::Ask(const QString &path, const QString &driveRoot) {
    Path = path;
    const QString shown = Printable(path);
    Form->FilenameLabel->setText(
        Form->FilenameLabel->fontMetrics().elidedText(shown, Qt::ElideMiddle, PathWidth));
    Form->FilenameLabel->setToolTip(shown);
    Form->alsoOtherFilesCheck->setText(
        GetPhraseParam(DeletionProblemPhrases(), 1, Printable(driveRoot)));
    Form->alsoOtherFilesCheck->setEnabled(!driveRoot.isEmpty());
    if (driveRoot.isEmpty())
        Form->alsoOtherFilesCheck->setChecked(false);
    AddAccelerators(this);
    Form->OkBtn->setFocus();
    ModalSeam::Exec(*this);
    DeletionProblemAnswer answer;
    answer.DeleteDirectly = Form->KillDirectRadio->isChecked();
    answer.AlsoOtherFiles = Form->alsoOtherFilesCheck->isChecked() && !driveRoot.isEmpty();
    return answer;
}

void DeletionProblemDialog::ShowBtnClick() {
    if (ShowCommand())
        ShowCommand()(Path);
    else
        Desktop::ShowInFileManager(Path);
}
