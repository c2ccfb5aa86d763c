#include "gui/AboutWindow.h"

#include "gui/HelpPage.h"
#include "lang/IniDatei.h"
#include "lang/MultiLingua.h"
#include "lang/UnitPhrases.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <version>

namespace {
QString Phrase(int id) {
    return GetPhrase(InfoUnitPhrases(), id);
}

QLabel *AddLabel(QVBoxLayout *layout, const char *name) {
    auto *label = new QLabel;
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    layout->addWidget(label);
    return label;
}

// A link that Tab reaches and Enter follows.
void MakeLink(QLabel *label, const QUrl &url, const QString &text) {
    label->setTextFormat(Qt::RichText);
    label->setText(
        QStringLiteral("<a href=\"%1\">%2</a>")
            .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(), text.toHtmlEscaped()));
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setFocusPolicy(Qt::StrongFocus);
}
} // namespace

QString StandardLibraryName() {
#if defined(_LIBCPP_VERSION)
    return QStringLiteral("LLVM libc++ %1").arg(_LIBCPP_VERSION / 10000);
#elif defined(_GLIBCXX_RELEASE)
    return QStringLiteral("GNU libstdc++ %1").arg(_GLIBCXX_RELEASE);
#elif defined(_MSVC_STL_VERSION)
    return QStringLiteral("Microsoft STL %1").arg(_MSVC_STL_VERSION);
#else
    return QStringLiteral("C++ %1").arg(__cplusplus);
#endif
}

AboutWindow::AboutWindow(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("InfoForm"));
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto *name = AddLabel(layout, "NameLabel");
    name->setText(QStringLiteral("Dupliscan"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    TaglineLabel = AddLabel(layout, "TaglineLabel");
    VersionLabel = AddLabel(layout, "VersionLabel");
    layout->addSpacing(8);
    LicenceLabel = AddLabel(layout, "LicenceLabel");
    LibrariesLabel = AddLabel(layout, "LibrariesLabel");
    SettingsLabel = AddLabel(layout, "SettingsLabel");
    SettingsLabel->setTextInteractionFlags(Qt::TextBrowserInteraction);
    SettingsLabel->setOpenExternalLinks(true);
    HelpLink = AddLabel(layout, "HelpLink");
    HelpLink->setOpenExternalLinks(true);
    layout->addSpacing(8);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    CloseBtn = new QPushButton(this);
    CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
    CloseBtn->setDefault(true);
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(CloseBtn);
    layout->addLayout(buttons);
    // Each label is at least this wide, so that a long folder wraps instead of
    // stretching the window across the screen.
    for (QLabel *label : findChildren<QLabel *>())
        label->setMinimumWidth(360);
    FillTexts();
}

void AboutWindow::FillTexts() {
    setWindowTitle(Phrase(1));
    TaglineLabel->setText(Phrase(9));
    VersionLabel->setText(GetPhraseParam(InfoUnitPhrases(), 2, QStringLiteral(DUPLISCAN_VERSION)));
    // The copyright line is a legal notice and stays as the licence file says.
    LicenceLabel->setText(Phrase(3) + QStringLiteral(".\nCopyright © 2026 Dupliscan developers"));
    LibrariesLabel->setText(Phrase(4) + QStringLiteral(":\nQt ") + QString::fromLatin1(qVersion()) +
                            QStringLiteral("\n") + Phrase(5) + QStringLiteral(": ") +
                            StandardLibraryName());

    const QString folder = QFileInfo(CurrentSettingsPath()).absolutePath();
    const QString shown = QDir::toNativeSeparators(folder);
    // The folder appears with the first setting saved; until then it is only named.
    if (QFileInfo(folder).isDir())
        SettingsLabel->setText(
            QStringLiteral("%1:<br><a href=\"%2\">%3</a>")
                .arg(Phrase(6).toHtmlEscaped(),
                     QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded).toHtmlEscaped(),
                     shown.toHtmlEscaped()));
    else
        SettingsLabel->setText(
            QStringLiteral("%1:<br>%2").arg(Phrase(6).toHtmlEscaped(), shown.toHtmlEscaped()));
    SettingsLabel->setAccessibleName(Phrase(6));
    SettingsLabel->setAccessibleDescription(shown);

    const QUrl help = HelpPageUrl();
    if (help.isValid())
        MakeLink(HelpLink, help, Phrase(7));
    HelpLink->setVisible(help.isValid());
    HelpLink->setAccessibleName(Phrase(7));
    CloseBtn->setText(Phrase(8));
}

void AboutWindow::ShowAbout(QWidget *parent) {
    QWidget *owner = parent ? parent->window() : nullptr;
    QPointer<AboutWindow> about =
        owner ? owner->findChild<AboutWindow *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!about)
        about = new AboutWindow(owner);
    about->FillTexts();
    about->exec();
    if (!owner)
        delete about;
}
