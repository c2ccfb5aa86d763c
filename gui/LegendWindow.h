#pragma once
// The small window that explains the four mark icons of the result list; its
// icons are the ones every result row is drawn with.

#include <QPixmap>
#include <QWidget>

class QLabel;

class LegendWindow : public QWidget {
    Q_OBJECT

public:
    explicit LegendWindow(QWidget *parent);

    // Shows the legend 60 pixels inside the main window's top right corner,
    // unless it is shown already.
    void ShowLegend(QWidget *mainWindow);
    // The View menu's item: shows a hidden legend, hides a shown one.
    void Legend1Click(QWidget *mainWindow);

    // The 13 x 13 icon of a mark; a null pixmap for a virtual row.
    static QPixmap MarkIcon(quint8 mark);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *StayText = nullptr;
};
