#pragma once
// PENDING PIECES: the parts of the desktop program that are built on other
// branches, each reached under the name its builder agreed to. While a piece
// has not landed here, a stand-in of the same shape keeps the window whole;
// when its header arrives, the stand-in steps aside by itself. Once every piece
// has landed this file goes, and the window includes the headers directly.
// Every call site of a stand-in is marked "PENDING(<piece>)" in MainWindow.cpp.

#include "compare/FilterUnit.h"
#include "lang/UnitPhrases.h"

#include <QMenu>
#include <QPixmap>
#include <QUrl>
#include <QWidget>

// PENDING(ResultList): the two result panes over the match list.
#if __has_include("gui/ResultList.h")
#include "gui/ResultList.h"
#else
class ResultList : public QWidget {
public:
    explicit ResultList(QWidget *parent) : QWidget(parent) {}
    void FillResultList() {}
    void ClearResultList() {}
    int SelectedRow() const { return -1; }
    QMenu *ResultPopup() const { return nullptr; }
    void SetDateView(quint8) {}
    void RefreshRow(int) {}
    void RefreshAll() {}
};
#endif

// PENDING(LegendWindow): the mark legend beside the main window.
#if __has_include("gui/LegendWindow.h")
#include "gui/LegendWindow.h"
#else
class LegendWindow : public QWidget {
public:
    explicit LegendWindow(QWidget *parent) : QWidget(parent, Qt::Tool) {}
    void ShowLegend(QWidget *) {}
    void Legend1Click(QWidget *) {}
};
#endif

// PENDING(FilterDialog): the filter dialog, and the one-line description of the
// filter that lives beside the filter state.
#if __has_include("gui/FilterDialog.h")
#include "gui/FilterDialog.h"
#else
inline bool ShowFilterDialog(QWidget *) {
    return false;
}
inline QString FilterDescription() {
    const FilterState &f = Filter();
    QString text = f.IncludeText;
    if (!f.ExcludeText.isEmpty())
        text = text.isEmpty() ? GetPhrase(FilterUnitPhrases(), 2) + QLatin1Char(' ') + f.ExcludeText
                              : text + QStringLiteral(", ") + GetPhrase(FilterUnitPhrases(), 3) +
                                    QLatin1Char(' ') + f.ExcludeText;
    return text.isEmpty() ? GetPhrase(FilterUnitPhrases(), 1) : text;
}
#endif

// PENDING(HelpPage): the program's own local help page.
#if __has_include("gui/HelpPage.h")
#include "gui/HelpPage.h"
#else
inline QUrl HelpPageUrl() {
    return {};
}
#endif

// PENDING(AboutWindow): the about window of the Info menu. Its call is not
// agreed yet; the window asks for it through this one function.
inline void ShowAboutWindow(QWidget *) {}
