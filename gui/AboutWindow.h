#pragma once
// What the program is, which version, under which licence, what it is built
// on, where it keeps its settings, and the way to its help.

#include <QDialog>

class QLabel;
class QPushButton;

class AboutWindow : public QDialog {
    Q_OBJECT

public:
    explicit AboutWindow(QWidget *parent = nullptr);

    // Opens the about window of the parent's window modally (made on first
    // use, then kept).
    static void ShowAbout(QWidget *parent);

    // Every text again in the language shown now, with the settings folder
    // as it is now.
    void FillTexts();

private:
    QLabel *TaglineLabel;
    QLabel *VersionLabel;
    QLabel *LicenceLabel;
    QLabel *LibrariesLabel;
    QLabel *SettingsLabel;
    QLabel *HelpLink;
    QPushButton *CloseBtn;
};

// The C++ standard library the program was built with, with its version
// ("GNU libstdc++ 12").
QString StandardLibraryName();
