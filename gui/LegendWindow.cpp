#include "gui/LegendWindow.h"

#include "gui/Colors.h"
#include "gui/ResultRows.h"
#include "lang/MultiLingua.h"
#include "lang/widgets/LangWidgets.h"
#include "search/SearchContext.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <array>

namespace {
constexpr quint32 GradientTop = 0xE8F9FC;
constexpr quint32 GradientBottom = 0xBADAE2;
constexpr quint32 FontColor = 0x010000;
constexpr int Inset = 60;

// Row Id 2 of the phrase table; the text the window starts with before the
// table has been read.
const char *const StayPhrase = "Datei bleibt vorhanden (Standardvorgabe)\nkann aber durch Funktion "
                               "»Auswahl nach ...« in eine Lösch-Markierung geändert werden!";

// Each icon is a small framed box, so the four read as one family, with a
// sign in it that says what becomes of the file.
QPixmap DrawIcon(quint8 mark) {
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    constexpr int side = ResultRows::IconSize;
    QPixmap pixmap(QSize(side, side) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0.5, 0.5, side - 1, side - 1);
    auto frame = [&](const QColor &border, const QColor &fill) {
        p.setPen(QPen(border, 1));
        p.setBrush(fill);
        p.drawRoundedRect(box, 2, 2);
    };
    auto tick = [&](const QColor &color) {
        QPainterPath path;
        path.moveTo(2.8, 6.6);
        path.lineTo(5.2, 9.2);
        path.lineTo(10.2, 3.4);
        p.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    };
    switch (mark) {
    case Stay:
        frame(QColor(0x6A, 0x9A, 0x6A), Qt::white);
        tick(QColor(0x1A, 0x9A, 0x1A));
        break;
    case StayNoDelete:
        // Kept by hand: the same tick, white on a solid box, so it stands out
        // from the default at a glance.
        frame(QColor(0x1F, 0x4E, 0x9A), QColor(0x2F, 0x6A, 0xC8));
        tick(Qt::white);
        break;
    case Delete:
        frame(QColor(0xB0, 0x20, 0x20), Qt::white);
        p.setPen(QPen(QColor(0xD0, 0x10, 0x10), 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(9.5, 9.5));
        p.drawLine(QPointF(9.5, 3.5), QPointF(3.5, 9.5));
        break;
    case Deleted:
        frame(QColor(0x80, 0x80, 0x80), QColor(0xD4, 0xD4, 0xD4));
        p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1.6, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(2.5, 6.5), QPointF(10.5, 6.5));
        break;
    default:
        return {};
    }
    return pixmap;
}

std::array<QPixmap, 5> &Icons() {
    static std::array<QPixmap, 5> icons;
    return icons;
}
} // namespace

QPixmap LegendWindow::MarkIcon(quint8 mark) {
    std::array<QPixmap, 5> &icons = Icons();
    if (mark == Virtual || mark >= icons.size())
        return {};
    if (icons[mark].isNull()) {
        for (quint8 m = Deleted; m <= Delete; ++m)
            icons[m] = DrawIcon(m);
        // Pixmaps must go before the application does.
        qAddPostRoutine([] { Icons().fill(QPixmap()); });
    }
    return icons[mark];
}

LegendWindow::LegendWindow(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("LegendForm"));
    setWindowTitle(QStringLiteral(" Legende"));
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, FromBgr(FontColor));
    setPalette(colors);

    auto *grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->setContentsMargins(12, 10, 14, 12);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(10);
    struct Row {
        const char *Image;
        quint8 Mark;
        const char *Text;
        const char *Name;
    };
    const Row rows[] = {
        {"CheckStayImage", Stay, StayPhrase, "StayText"},
        {"CheckStayNoDeleteImage", StayNoDelete, "Datei bleibt vorhanden (manuell festgesetzt)",
         "StayNoDeleteText"},
        {"CheckDeleteImage", Delete, "Datei soll gelöscht/verschoben werden", "DeleteText"},
        {"CheckDeletedImage", Deleted, "Datei ist bereits gelöscht worden", "DeletedText"},
    };
    int line = 0;
    for (const Row &row : rows) {
        auto *text = new QLabel(QString::fromUtf8(row.Text), this);
        text->setObjectName(QLatin1String(row.Name));
        text->setTextFormat(Qt::PlainText);
        auto *image = new QLabel(this);
        image->setObjectName(QLatin1String(row.Image));
        image->setPixmap(MarkIcon(row.Mark));
        // The icon stands beside the first line of its text.
        const int iconTop = std::max(0, (text->fontMetrics().height() - ResultRows::IconSize) / 2);
        image->setContentsMargins(0, iconTop, 0, 0);
        image->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
        image->setFixedSize(ResultRows::IconSize, ResultRows::IconSize + iconTop);
        grid->addWidget(image, line, 0, Qt::AlignTop);
        grid->addWidget(text, line, 1, Qt::AlignTop | Qt::AlignLeft);
        if (row.Mark == Stay)
            StayText = text;
        ++line;
    }
    TranslateForm(this);
}

void LegendWindow::ShowLegend(QWidget *mainWindow) {
    if (isVisible())
        return;
    if (const QString text = GetTablePhrase(2); !text.isEmpty())
        StayText->setText(text);
    adjustSize();
    show();
    if (!mainWindow)
        return;
    const QRect main = mainWindow->frameGeometry();
    QPoint at(main.left() + main.width() - frameGeometry().width() - Inset, main.top() + Inset);
    if (const QScreen *screen = mainWindow->screen()) {
        // Kept on the work area when the main window reaches past it.
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    move(at);
}

void LegendWindow::Legend1Click(QWidget *mainWindow) {
    if (isVisible())
        hide();
    else
        ShowLegend(mainWindow);
}

void LegendWindow::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, FromBgr(GradientTop));
    gradient.setColorAt(1, FromBgr(GradientBottom));
    painter.fillRect(rect(), gradient);
}
