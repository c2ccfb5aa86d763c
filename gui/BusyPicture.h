#pragma once
// The scrolling status lines that stand in for the result list while a run is
// going on: the newest line at the bottom, older lines moving up and out of
// sight, each line cut off at the right edge.

#include <QStringList>
#include <QWidget>

class BusyPicture : public QWidget {
    Q_OBJECT

public:
    explicit BusyPicture(QWidget *parent = nullptr);

    void AddLine(const QString &text);
    // Back to a white picture without lines.
    void Clear();
    // Takes the current size and font: how many lines fit and how high each is.
    void Relayout();

    int LineHeight() const { return LineHeightPx; }
    // The lines that fit, oldest first, newest last.
    QStringList VisibleLines() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int FittingLines() const;

    // Only what can be seen is kept: a run reports many thousand lines.
    QStringList Lines;
    int LineHeightPx = 0;
};
