#include "gui/FilterDialog.h"

#include "compare/FilterUnit.h"
#include "compare/ImageDecoder.h"
#include "gui/Accelerators.h"
#include "lang/MsgDlgUnit.h"
#include "lang/MultiLingua.h"
#include "lang/widgets/LangWidgets.h"
#include "ui_FilterDialog.h"

#include <QPointer>

namespace {
// The drop-down of the include list: documents, pictures, music, videos and
// disc images, the usual reasons to narrow a search.
QStringList ExtensionPresets() {
    return {QStringLiteral("doc dot odt sxw rtf pdf"), ImagePreset,
            QStringLiteral("mp3 wma ogg au aif aiff wav"),
            QStringLiteral("avi mpg mpeg wmv mov divx mp4 m4v asf"),
            QStringLiteral("iso bin cue vcd img ccd")};
}
constexpr int ImagePresetIndex = 1;

QString SizeEditText(qint32 kilobytes, qint32 noLimit) {
    return kilobytes == noLimit ? QString() : QString::number(kilobytes);
}
} // namespace

FilterDialog::FilterDialog(QWidget *parent) : QDialog(parent), Form(new Ui::FilterForm) {
    Form->setupUi(this);
    Form->PositivEd->addItems(ExtensionPresets());
    connect(Form->minKbEd, &QLineEdit::textChanged, this, &FilterDialog::kbEdChange);
    connect(Form->maxKbEd, &QLineEdit::textChanged, this, &FilterDialog::kbEdChange);
    connect(Form->PositivEd, &QComboBox::editTextChanged, this, &FilterDialog::PositivEdChange);
    connect(Form->NegativEd, &QLineEdit::textChanged, this, &FilterDialog::EdChange);
    connect(Form->NeverEd, &QLineEdit::textChanged, this, &FilterDialog::EdChange);
    connect(Form->ImagesCheck, &QCheckBox::clicked, this, &FilterDialog::ImagesCheckClick);
    connect(Form->OkBtn, &QPushButton::clicked, this, &FilterDialog::OkBtnClick);
    connect(Form->EscBtn, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

FilterDialog::~FilterDialog() = default;

void FilterDialog::FormCreate() {
    TranslateForm(this);
    Form->NeverEd->setText(Filter().NeverList.trimmed().toLower());
}

void FilterDialog::LoadFilterState() {
    const FilterState &f = Filter();
    MinKB = f.MinSizeKB;
    MaxKB = f.MaxSizeKB;
    Form->minKbEd->setText(SizeEditText(f.MinSizeKB, 0));
    Form->maxKbEd->setText(SizeEditText(f.MaxSizeKB, NoMaxSizeKB));
    kbEdChange();
    Form->PositivEd->setEditText(f.IncludeText);
    Form->NegativEd->setText(f.ExcludeText);
    // A never list left edited by a cancelled dialog would otherwise be taken
    // by the next OK without the user seeing it come back.
    Form->NeverEd->setText(f.NeverList.trimmed().toLower());
    Form->ImagesCheck->setChecked(f.ImageMode);
    if (f.ImageMode && f.IncludeText.isEmpty())
        Form->PositivEd->setEditText(Form->PositivEd->itemText(ImagePresetIndex));
    PositivEdChange();
    // A language switch since the last opening brought captions without them.
    AddAccelerators(this);
    Form->OkBtn->setEnabled(false);
    Form->minKbEd->setFocus();
}

void FilterDialog::kbEdChange() {
    MinKB = SizeLimitFromText(Form->minKbEd->text(), SizeLimit::Minimum);
    Form->minMbLabel->setText(SizeLimitLabel(MinKB, SizeLimit::Minimum));
    MaxKB = SizeLimitFromText(Form->maxKbEd->text(), SizeLimit::Maximum);
    Form->maxMbLabel->setText(SizeLimitLabel(MaxKB, SizeLimit::Maximum));
    Form->OkBtn->setEnabled(true);
}

void FilterDialog::PositivEdChange() {
    // With an include list the exclude list is not applied: its label greys out
    // and its field takes the panel's colour, but stays editable.
    const bool including = !Form->PositivEd->currentText().trimmed().isEmpty();
    Form->NegLabel->setEnabled(!including);
    QPalette palette = Form->NegativEd->parentWidget()->palette();
    if (including)
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    Form->NegativEd->setPalette(palette);
    Form->OkBtn->setEnabled(true);
}

void FilterDialog::EdChange() {
    Form->OkBtn->setEnabled(true);
}

void FilterDialog::ImagesCheckClick() {
    Form->OkBtn->setEnabled(true);
    const QString include = Form->PositivEd->currentText().trimmed();
    if (Form->ImagesCheck->isChecked() && include.isEmpty())
        Form->PositivEd->setEditText(ImagePreset);
    else if (!Form->ImagesCheck->isChecked() && include.toLower() == ImagePreset)
        Form->PositivEd->setEditText(QString());
}

void FilterDialog::OkBtnClick() {
    FilterState &f = Filter();
    f.ImageMode = Form->ImagesCheck->isChecked();
    if (f.ImageMode && !LoadGdiplusLibrary()) {
        f.ImageMode = false;
        ShowError(GetPhrase(FilterUnitPhrases(), 4));
    }
    f.MinSizeKB = MinKB;
    f.MaxSizeKB = MaxKB;
    SetFilterLists(Form->PositivEd->currentText(), Form->NegativEd->text(), Form->NeverEd->text());
    accept();
}

bool ShowFilterDialog(QWidget *parent) {
    QWidget *owner = parent ? parent->window() : nullptr;
    QPointer<FilterDialog> dialog =
        owner ? owner->findChild<FilterDialog *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!dialog)
        dialog = new FilterDialog(owner);
    dialog->LoadFilterState();
    const bool accepted = dialog->exec() == QDialog::Accepted;
    // Without a window to keep it, nothing would ever free it.
    if (!owner)
        delete dialog;
    return accepted;
}
