#pragma once
// A panel whose background runs from one colour at its top to another at its
// bottom, the look of the deletion's dialogs.

#include <QWidget>

class GradientPanel : public QWidget {
    Q_OBJECT

public:
    explicit GradientPanel(QWidget *parent = nullptr);
    // Colours as 0x00BBGGRR values.
    void SetColors(quint32 top, quint32 bottom);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    quint32 Top = 0xFFFFFF;
    quint32 Bottom = 0xFFFFFF;
};
