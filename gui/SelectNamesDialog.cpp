#include "gui/SelectNamesDialog.h"

#include "gui/Accelerators.h"
#include "gui/Colors.h"
#include "lang/MsgDlgUnit.h"
#include "lang/MultiLingua.h"
#include "lang/UnitPhrases.h"
#include "lang/widgets/LangWidgets.h"
#include "platform/Platform.h"
#include "run/RunControl.h"
#include "search/MatchList.h"
#include "ui_SelectNamesDialog.h"

#include <QPointer>
#include <QRadioButton>
#include <QTimer>

namespace {
constexpr quint32 ActiveColor = 0xE0F0E0;
constexpr quint32 InactiveColor = 0xE0E0E0;
constexpr int MostPoints = 10;

std::function<void(SelectNamesDialog &)> &ShownHook() {
    static std::function<void(SelectNamesDialog &)> hook;
    return hook;
}

QString WithoutAccelerator(const QString &text) {
    return SplitPhraseKey(text).Text;
}
} // namespace

SelectNamesDialog::SelectNamesDialog(QWidget *parent)
    : QDialog(parent), Form(new Ui::SelectNamesForm) {
    Form->setupUi(this);
    // In front of the legend, which stays in front of the main window.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    connect(Form->OkBtn, &QPushButton::clicked, this, &SelectNamesDialog::OkBtnClick);
    connect(Form->EscBtn, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

SelectNamesDialog::~SelectNamesDialog() = default;

std::array<SelectNamesDialog::Panel, 4> SelectNamesDialog::Panels() const {
    const Ui::SelectNamesForm &f = *Form;
    return {{{f.AgePanel, f.AgePointsCombo, f.AgeRatingLabel, f.AgePointsLabel},
             {f.SizePanel, f.SizePointsCombo, f.SizeRatingLabel, f.SizePointsLabel},
             {f.DeepPanel, f.DeepPointsCombo, f.DeepRatingLabel, f.DeepPointsLabel},
             {f.CopyPanel, f.CopyPointsCombo, f.CopyRatingLabel, f.CopyPointsLabel}}};
}

void SelectNamesDialog::FormCreate() {
    // The examples of folder levels in this system's spelling of paths.
    Form->TopFoldersExample->setText(Platform::ForSystemWording(QStringLiteral("\\Ordner1\\Datei"),
                                                                QStringLiteral("/Ordner1/Datei")));
    Form->DeepFoldersExample->setText(Platform::ForSystemWording(
        QStringLiteral("\\Ordner1\\Ordner2\\Datei"), QStringLiteral("/Ordner1/Ordner2/Datei")));
    TranslateForm(this);

    const SelectionRule defaults[] = {DefaultSelectionRules.Age, DefaultSelectionRules.Size,
                                      DefaultSelectionRules.Depth, DefaultSelectionRules.Copy};
    const std::array<Panel, 4> panels = Panels();
    for (std::size_t k = 0; k < panels.size(); ++k) {
        QComboBox *points = panels[k].Points;
        if (points->count() == 0)
            for (int n = 0; n <= MostPoints; ++n)
                points->addItem(QString::number(n));
        points->setCurrentIndex(defaults[k].Points);
        connect(points, &QComboBox::currentIndexChanged, this, &SelectNamesDialog::RuleChange);
        for (QRadioButton *radio : panels[k].Frame->findChildren<QRadioButton *>())
            connect(radio, &QRadioButton::toggled, this, &SelectNamesDialog::RuleChange);
        ColorPanel(panels[k]);
    }
}

void SelectNamesDialog::SetShownHook(std::function<void(SelectNamesDialog &)> hook) {
    ShownHook() = std::move(hook);
}

SelectionRule SelectNamesDialog::RuleOf(const Panel &panel) {
    SelectionRule rule;
    for (const QRadioButton *radio : panel.Frame->findChildren<QRadioButton *>())
        if (radio->isChecked())
            rule.Rule = quint8(radio->property("Tag").toUInt());
    rule.Points = quint8(std::max(0, panel.Points->currentIndex()));
    return rule;
}

void SelectNamesDialog::ColorPanel(const Panel &panel) {
    QPalette colours = panel.Frame->palette();
    colours.setColor(QPalette::Window,
                     FromBgr(RuleOf(panel).Active() ? ActiveColor : InactiveColor));
    panel.Frame->setPalette(colours);
}

SelectionRules SelectNamesDialog::RulesShown() const {
    const std::array<Panel, 4> panels = Panels();
    return {RuleOf(panels[0]), RuleOf(panels[1]), RuleOf(panels[2]), RuleOf(panels[3])};
}

void SelectNamesDialog::RuleChange() {
    for (const Panel &panel : Panels())
        if (panel.Frame->isAncestorOf(qobject_cast<QWidget *>(sender())))
            ColorPanel(panel);
}

void SelectNamesDialog::OkBtnClick() {
    const SelectionRules rules = RulesShown();
    if (!rules.AnyActive()) {
        ShowInfo(GetPhrase(SelectNamesFormPhrases(), 1));
        return;
    }
    SelectionOptions() = rules;
    accept();
}

void SelectNamesDialog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    // A language switch since the last opening brought captions without keys.
    AddAccelerators(this);
    for (const Panel &panel : Panels())
        panel.Points->setAccessibleName(
            WithoutAccelerator(panel.Rating->text()) + QStringLiteral(" (") +
            WithoutAccelerator(panel.PointsUnit->text()) + QLatin1Char(')'));
    Form->OkBtn->setFocus();
    if (ShownHook())
        QTimer::singleShot(0, this, [this] {
            if (const auto hook = ShownHook(); hook && isVisible())
                hook(*this);
        });
}

bool SelectByProperties(QWidget *parent) {
    if (MatchList().empty())
        return false;
    QWidget *owner = parent ? parent->window() : nullptr;
    QPointer<SelectNamesDialog> dialog =
        owner ? owner->findChild<SelectNamesDialog *>(QString(), Qt::FindDirectChildrenOnly)
              : nullptr;
    if (!dialog)
        dialog = new SelectNamesDialog(owner);
    const bool confirmed = dialog->exec() == QDialog::Accepted;
    // Without a window to keep it, nothing would ever free it.
    if (!owner)
        delete dialog;
    if (!confirmed)
        return false;
    ProcessMessages();
    ApplyPropertyRules(SelectionOptions());
    return true;
}
