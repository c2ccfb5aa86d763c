#pragma once
// The narrow window beside the main window with short tips for the page the
// user is on: how to search well on the start page, how to choose what to
// delete on the result page. Its texts are rows of the phrase table, so it
// speaks the interface language.

#include "html/TipsPages.h"

#include <QUrl>
#include <QWidget>
#include <memory>

class QTextBrowser;
class THtmlView;

class TipsWindow : public QWidget {
    Q_OBJECT

public:
    // Hidden until first shown; it stands beside the main window.
    explicit TipsWindow(QWidget *mainWindow);
    ~TipsWindow() override;

    // Places the window beside the main window, fills it with the page in the
    // language shown now and shows it.
    void ShowTips(TipsPage page);
    bool TipsVisible() const { return isVisible(); }
    // The width with the frame; a hidden window's frame is not known yet, so
    // it is taken as a usual one.
    int TipsWidth() const;

    // Shows the page unless the setting "TipWindow" is "0", first moving a
    // main window that leaves no room beside it.
    void ShowTipsIfEnabled(TipsPage page);
    // The View menu's item: shows the tips and forgets the "0", or closes them
    // and remembers the "0".
    void Hints1Click(TipsPage page);

    // The page while the window is open, else nullptr.
    QTextBrowser *View() const { return Browser; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void OpenLink(const QUrl &link);

    QWidget *MainForm;
    // The page and what shows it exist only while the window is open.
    std::unique_ptr<THtmlView> Html;
    QTextBrowser *Browser = nullptr;
};

// What a link of the tips opens: "help:SECTION" the program's own help page
// at that section (empty when the page is missing), anything else itself.
QUrl TipLinkTarget(const QUrl &link);
