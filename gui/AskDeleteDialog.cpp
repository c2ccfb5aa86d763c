#include "gui/AskDeleteDialog.h"

#include "gui/Accelerators.h"
#include "gui/Colors.h"
#include "gui/DeletionTexts.h"
#include "gui/ModalSeam.h"
#include "lang/UnitPhrases.h"
#include "lang/widgets/LangWidgets.h"
#include "platform/Platform.h"
#include "results/DeletionUnit.h"
#include "ui_AskDeleteDialog.h"

namespace {
constexpr quint32 WarnTop = 0xFFFFFF;
constexpr quint32 WarnBottom = 0x5D7BFF;
constexpr quint32 SelectTop = 0xFFFFFF;
constexpr quint32 SelectBottom = 0xBADAE2;
constexpr quint32 FontColor = 0x010000;
// Long enough for the warning to wrap into a few even lines.
constexpr int WarnWidth = 460;
} // namespace

AskDeleteDialog::AskDeleteDialog(QWidget *parent) : QDialog(parent), Form(new Ui::AskDeleteForm) {
    Form->setupUi(this);
    Form->WarnPanel->SetColors(WarnTop, WarnBottom);
    Form->SelectPanel->SetColors(SelectTop, SelectBottom);
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, FromBgr(FontColor));
    colors.setColor(QPalette::ButtonText, FromBgr(FontColor));
    setPalette(colors);
    Form->WarnText->setMinimumWidth(WarnWidth);
    Form->RecycleRadio->setText(GetPhrase(DeletionWindowPhrases(), PhraseRecycleCaption));
    for (QAbstractButton *radio : {Form->MoveRadio, Form->RecycleRadio, Form->KillRadio})
        connect(radio, &QAbstractButton::clicked, this, &AskDeleteDialog::RadioClick);
    connect(Form->OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(Form->EscBtn, &QPushButton::clicked, this, &QDialog::reject);
    TranslateForm(this);
}

AskDeleteDialog::~AskDeleteDialog() = default;

int AskDeleteDialog::Ask(const QStringList &holdingRoots) {
    Form->WarnText->setText(GetPhrase(AskToDeletePhrases(), 3) + QStringLiteral("\n\n") +
                            GetPhrase(AskToDeletePhrases(), 4));
    Form->MoveRadio->setText(holdingRoots.size() == 1
                                 ? GetPhraseParam(DeletionWindowPhrases(), PhraseMoveToFolder,
                                                  holdingRoots.first() +
                                                      QStringLiteral("dupliscanned") +
                                                      Platform::PathDelimiter())
                                 : GetPhrase(DeletionWindowPhrases(), PhraseMoveCaption));
    RadioClick();
    Form->OkBtn->setFocus();
    if (ModalSeam::Exec(*this) != QDialog::Accepted)
        return 0;
    return Choice();
}

int AskDeleteDialog::Choice() const {
    int choice = WayRecycle;
    if (Form->KillRadio->isChecked())
        choice = WayKill;
    if (Form->MoveRadio->isChecked())
        choice = WayMove;
    return Form->LnkCheck->isChecked() ? choice | WithLinksFlag : choice;
}

void AskDeleteDialog::RadioClick() {
    int phrase = 2;
    if (Form->MoveRadio->isChecked())
        phrase = 6;
    else if (Form->RecycleRadio->isChecked())
        phrase = 1;
    Form->OkBtn->setText(GetPhrase(AskToDeletePhrases(), phrase));
    AddAccelerators(this);
}
