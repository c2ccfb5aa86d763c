#include "gui/TipsWindow.h"

#include "gui/HelpPage.h"
#include "gui/TipsPlacement.h"
#include "html/HTMLViewUnit.h"
#include "lang/IniDatei.h"
#include "lang/MultiLingua.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWindow>

namespace {
const QString TipWindowSetting = QStringLiteral("TipWindow");
// The page's own background, so no other colour shows around a short page.
const QColor PageBackground(0xFE, 0xF7, 0xE5);
constexpr int DesignWidth = 315;
constexpr int DesignHeight = 710;
// The frame of a window not yet shown, as the width a hidden window reports.
constexpr int AssumedFrame = 8;

bool IsNormal(const QWidget *window) {
    return !(window->windowState() &
             (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

QRect WorkArea(const QWidget *window) {
    const QScreen *screen = window->screen();
    return screen ? screen->availableGeometry() : QRect();
}
} // namespace

QUrl TipLinkTarget(const QUrl &link) {
    if (link.scheme() == QLatin1String("help"))
        return HelpPageUrl(link.path());
    return link;
}

TipsWindow::TipsWindow(QWidget *mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::WindowStaysOnTopHint), MainForm(mainWindow) {
    setObjectName(QStringLiteral("HintForm"));
    QFont font(QStringLiteral("Verdana"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(13);
    setFont(font);
    resize(DesignWidth, DesignHeight);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

TipsWindow::~TipsWindow() {
    delete Browser;
}

int TipsWindow::TipsWidth() const {
    const int framed = frameGeometry().width();
    return framed > width() ? framed : width() + AssumedFrame;
}

void TipsWindow::ShowTips(TipsPage page) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const QPoint at = MainForm ? TipsPlacement::TipsWindowPosition(MainForm->frameGeometry(),
                                                                   TipsWidth(), WorkArea(MainForm))
                               : pos();
    move(at);
    if (!Html) {
        Html = std::make_unique<THtmlView>();
        Browser = new QTextBrowser(this);
        Browser->setObjectName(QStringLiteral("HtmlView"));
        Browser->setFrameShape(QFrame::NoFrame);
        Browser->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        Browser->setOpenLinks(false);
        QPalette palette = Browser->palette();
        palette.setColor(QPalette::Base, PageBackground);
        Browser->setPalette(palette);
        connect(Browser, &QTextBrowser::anchorClicked, this, &TipsWindow::OpenLink);
        connect(Browser, &QTextBrowser::highlighted, this, [this](const QUrl &link) {
            Browser->setToolTip(link.isEmpty() ? QString() : TipLinkTarget(link).toDisplayString());
        });
        layout()->addWidget(Browser);
    }
    // The browser lets go of the old page before the view replaces it.
    Browser->setDocument(nullptr);
    Html->PageWidth = Browser->viewport()->width();
    Html->LoadHtml(TipsPageTemplate(page));
    Browser->setDocument(&Html->Document());
    Browser->setAccessibleName(TranslateText(QStringLiteral("Tipps")));
    setWindowTitle(TranslateText(QStringLiteral(" Tipps")));
    show();
    // A window shown again may have forgotten its frame; the frame's place is
    // set once more on the window that is now mapped.
    if (QWindow *window = windowHandle())
        window->setFramePosition(at);
}

void TipsWindow::ShowTipsIfEnabled(TipsPage page) {
    if (ReadSetting(TipWindowSetting) == QLatin1String("0"))
        return;
    const bool normal = MainForm && IsNormal(MainForm);
    if (normal) {
        if (const auto left = TipsPlacement::MainWindowLeft(WorkArea(MainForm),
                                                            MainForm->frameGeometry(), TipsWidth()))
            MainForm->move(*left, MainForm->pos().y());
    }
    ShowTips(page);
    if (normal) {
        MainForm->raise();
        MainForm->activateWindow();
    }
}

void TipsWindow::Hints1Click(TipsPage page) {
    if (!TipsVisible()) {
        WriteSetting(TipWindowSetting, QString());
        ShowTipsIfEnabled(page);
    } else {
        close();
        WriteSetting(TipWindowSetting, QStringLiteral("0"));
    }
}

void TipsWindow::closeEvent(QCloseEvent *event) {
    delete Browser;
    Browser = nullptr;
    Html.reset();
    QWidget::closeEvent(event);
}

void TipsWindow::OpenLink(const QUrl &link) {
    const QUrl target = TipLinkTarget(link);
    if (target.isValid())
        QDesktopServices::openUrl(target);
}
