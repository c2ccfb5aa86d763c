#include "gui/PreviewWindow.h"

#include "compare/ImageDecoder.h"
#include "compare/ImageUnit.h"
#include "gui/Colors.h"
#include "gui/PreviewLoader.h"
#include "lang/MultiLingua.h"
#include "lang/widgets/LangWidgets.h"
#include "results/PreviewUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

namespace {
constexpr int ScrollBoxWidth = 244;
constexpr int LoaderInterval = 50;
constexpr quint32 HighlightColor = 0xE9BEA5;
constexpr int StartClientHeight = 600;
// Room the large picture leaves for the thumbnail column and the title.
constexpr int BigImageSideRoom = 220;
constexpr int BigImageTopRoom = 50;
constexpr int FrameMargin = 4;

const char *const ClickForBigHint = "Klicken: Bild groß anzeigen";
const char *const ClickForThumbnailsHint = "Klicken: zurück zu den Vorschaubildern";

bool IsPress(const QEvent *event) {
    return event->type() == QEvent::MouseButtonPress &&
           static_cast<const QMouseEvent *>(event)->button() == Qt::LeftButton;
}
} // namespace

// One thumbnail with its three lines. It keeps the full texts and shortens
// them to its width, so a long folder still shows its beginning and its end.
class ThumbnailFrame : public QFrame {
public:
    ThumbnailFrame(const QString &path, QWidget *parent) : QFrame(parent), PendingFile(path) {
        setObjectName(QStringLiteral("PicThumbFrame"));
        setFocusPolicy(Qt::StrongFocus);
        auto *outer = new QVBoxLayout(this);
        outer->setContentsMargins(0, 0, 0, 0);
        FullPanel = new QFrame(this);
        FullPanel->setObjectName(QStringLiteral("FullPanel"));
        FullPanel->setAutoFillBackground(true);
        outer->addWidget(FullPanel);
        auto *lines = new QVBoxLayout(FullPanel);
        lines->setContentsMargins(FrameMargin, FrameMargin, FrameMargin, FrameMargin);
        lines->setSpacing(1);
        Image = new QLabel(FullPanel);
        Image->setObjectName(QStringLiteral("Image"));
        Image->setAlignment(Qt::AlignCenter);
        Image->setCursor(Qt::PointingHandCursor);
        Image->setToolTip(TranslateText(QString::fromUtf8(ClickForBigHint)));
        lines->addWidget(Image, 1);
        for (auto [label, name] : {std::pair{&FnLabel, "FnLabel"}, std::pair{&DirLabel, "DirLabel"},
                                   std::pair{&SizeLabel, "SizeLabel"}}) {
            *label = new QLabel(QStringLiteral("-"), FullPanel);
            (*label)->setObjectName(QLatin1String(name));
            (*label)->setTextFormat(Qt::PlainText);
            lines->addWidget(*label);
        }
        QFont bold = FnLabel->font();
        bold.setBold(true);
        FnLabel->setFont(bold);
        setFixedHeight(ThumbnailSide + ThumbnailTextHeight);
        setAccessibleName(FileNamePart(path));
        SetHighlight(false);
    }

    void Fill(const QString &path, const LoadedPicture &picture) {
        PendingFile.clear();
        if (!picture.Loaded)
            return;
        FileName = FileNamePart(path);
        Folder = FolderPart(path);
        FnLabel->setText(FileName);
        DirLabel->setToolTip(Folder);
        SizeLabel->setText(ThumbnailSizeText(picture));
        Image->setPixmap(QPixmap::fromImage(picture.Bitmap));
        Image->setAccessibleName(FileName);
        setFixedHeight(picture.Bitmap.height() + ThumbnailTextHeight);
        ShownFile = path;
        Elide();
    }

    void SetHighlight(bool on) {
        Highlighted = on;
        QPalette colors = FullPanel->palette();
        colors.setColor(QPalette::Window, on ? FromBgr(HighlightColor)
                                             : parentWidget()->palette().color(QPalette::Base));
        FullPanel->setPalette(colors);
    }

    QFrame *FullPanel = nullptr;
    QLabel *Image = nullptr;
    QLabel *FnLabel = nullptr;
    QLabel *DirLabel = nullptr;
    QLabel *SizeLabel = nullptr;
    QString ShownFile;
    QString PendingFile;
    bool Highlighted = false;

protected:
    void resizeEvent(QResizeEvent *event) override {
        QFrame::resizeEvent(event);
        Elide();
    }
    // Reached by the keyboard, the thumbnail shows where the focus is.
    void focusInEvent(QFocusEvent *event) override {
        setFrameShape(QFrame::Box);
        QFrame::focusInEvent(event);
    }
    void focusOutEvent(QFocusEvent *event) override {
        setFrameShape(QFrame::NoFrame);
        QFrame::focusOutEvent(event);
    }

private:
    void Elide() {
        if (ShownFile.isEmpty())
            return;
        const int room = width() - 2 * FrameMargin;
        FnLabel->setText(FnLabel->fontMetrics().elidedText(FileName, Qt::ElideMiddle, room));
        DirLabel->setText(DirLabel->fontMetrics().elidedText(Folder, Qt::ElideMiddle, room));
    }

    QString FileName;
    QString Folder;
};

PreviewWindow::PreviewWindow(QWidget *mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::WindowStaysOnTopHint), MainWindowOf(mainWindow) {
    FormCreate();
}

PreviewWindow::~PreviewWindow() {
    // The loader's thread ends before the frames its answers would fill.
    delete Loader;
    Loader = nullptr;
    ClearThumbnails();
}

void PreviewWindow::FormCreate() {
    setObjectName(QStringLiteral("PicThumbForm"));
    setWindowTitle(QStringLiteral("Bildvorschau"));
    // Selecting rows keeps the keyboard in the result list.
    setAttribute(Qt::WA_ShowWithoutActivating);

    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    QAction *hide = MainMenu1->addAction(QStringLiteral("Ausblenden"));
    hide->setObjectName(QStringLiteral("Visible1"));
    connect(hide, &QAction::triggered, this, &PreviewWindow::Visible1Click);
    QAction *off = MainMenu1->addAction(QStringLiteral("Abschalten"));
    off->setObjectName(QStringLiteral("View1"));
    connect(off, &QAction::triggered, this, &PreviewWindow::View1Click);

    Client = new QWidget(this);
    Client->setObjectName(QStringLiteral("Client"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu1);
    layout->addWidget(Client);

    ScrollBox = new QScrollArea(Client);
    ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
    ScrollBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox->setWidgetResizable(true);
    ScrollBox->setAccessibleName(TranslateText(QStringLiteral("Bildvorschau")));
    ScrollBox->viewport()->installEventFilter(this);
    auto *content = new QWidget;
    Column = new QVBoxLayout(content);
    Column->setContentsMargins(0, 0, 0, 0);
    Column->setSpacing(0);
    Column->addStretch(1);
    ScrollBox->setWidget(content);

    BigImage = new QLabel(Client);
    BigImage->setObjectName(QStringLiteral("BigImage"));
    BigImage->setCursor(Qt::PointingHandCursor);
    BigImage->setToolTip(QString::fromUtf8(ClickForThumbnailsHint));
    BigImage->installEventFilter(this);
    BigImage->hide();

    LoaderTimer = new QTimer(this);
    LoaderTimer->setObjectName(QStringLiteral("LoaderTimer"));
    LoaderTimer->setInterval(LoaderInterval);
    connect(LoaderTimer, &QTimer::timeout, this, &PreviewWindow::LoaderTimerTimer);
    Loader = new PreviewLoader(this);

    Client->installEventFilter(this);
    TranslateForm(this);
    SetClientSize(ScrollBoxWidth, StartClientHeight);
    SavedHeight = StartClientHeight;
}

int PreviewWindow::ClientHeight() const {
    return Client->height();
}

bool PreviewWindow::BigImageShown() const {
    return !BigFile.isEmpty();
}

QStringList PreviewWindow::ShownFiles() const {
    QStringList files;
    for (const ThumbnailFrame *frame : Frames)
        files << frame->ShownFile;
    return files;
}

int PreviewWindow::HighlightedThumbnail() const {
    for (int k = 0; k < Frames.size(); ++k)
        if (Frames[k]->Highlighted)
            return k;
    return -1;
}

void PreviewWindow::SetClientSize(int width, int height) {
    // The menu bar stands above the client area.
    const int menu =
        isVisible() ? this->height() - Client->height() : MainMenu1->sizeHint().height();
    resize(width, height + menu);
}

bool PreviewWindow::ShowPreview(int group, const QStringList &paths, const QString &current) {
    // Decoders are made ready here, on the window's thread, before the
    // loader's thread uses them.
    if (!StartupGdiplus())
        return false;
    if (group != Group) {
        Group = group;
        LoaderTimer->stop();
        Loader->Forget();
        Busy = false;
        if (BigImageShown())
            BackToThumbnails();
        ClearThumbnails();
        ScrollBox->verticalScrollBar()->setValue(0);
        for (const QString &path : paths) {
            auto *frame = new ThumbnailFrame(path, ScrollBox->widget());
            frame->Image->installEventFilter(this);
            frame->installEventFilter(this);
            Column->insertWidget(Column->count() - 1, frame);
            Frames.append(frame);
        }
    }
    CurrentFile = paths.size() > 1 ? current : QString();
    if (!CurrentFile.isEmpty())
        for (ThumbnailFrame *frame : std::as_const(Frames))
            frame->SetHighlight(frame->ShownFile == CurrentFile);

    bool shown = false;
    if (isHidden()) {
        if (!Placed)
            PlaceBeside(MainWindowOf);
        show();
        QCoreApplication::processEvents();
        shown = true;
    }
    if (!BigImageShown()) {
        const PreviewHeight height =
            PreviewClientHeight(int(paths.size()), ClientHeight(), SavedHeight);
        SavedHeight = height.Saved;
        if (height.Height != ClientHeight())
            SetClientSize(Client->width(), height.Height);
    }
    LoaderTimer->start();
    return shown;
}

void PreviewWindow::PlaceBeside(const QWidget *mainWindow) {
    Placed = true;
    const QScreen *screen = mainWindow ? mainWindow->screen() : this->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // As tall as the main window, so the two stand side by side as one; at
    // least one thumbnail high.
    if (mainWindow)
        SetClientSize(ScrollBoxWidth,
                      std::max(ThumbnailSide + ThumbnailTextHeight + 20,
                               mainWindow->height() - MainMenu1->sizeHint().height()));
    // Taller than the work area it would hide its own bottom thumbnails.
    const int frameExtra = std::max(0, frameGeometry().height() - height());
    if (height() + frameExtra > area.height())
        SetClientSize(ScrollBoxWidth, area.height() - frameExtra - MainMenu1->sizeHint().height());
    const int w = frameGeometry().width();
    const int h = frameGeometry().height();
    // Beside the main window where the screen has room, so the list stays in
    // view; otherwise over the main window's right edge.
    QPoint at = area.topLeft();
    if (mainWindow) {
        const QRect main = mainWindow->frameGeometry();
        if (main.right() + w <= area.right())
            at = QPoint(main.right() + 1, main.top());
        else if (main.left() - w >= area.left())
            at = QPoint(main.left() - w, main.top());
        else
            at = QPoint(main.right() - w - 20, main.top() + 40);
    }
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - w + 1)));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - h + 1)));
    move(at);
}

void PreviewWindow::HidePreview(bool forget) {
    if (isVisible())
        close();
    if (!forget)
        return;
    LoaderTimer->stop();
    Loader->Forget();
    Busy = false;
    ClearThumbnails();
    Group = -1;
    CurrentFile.clear();
}

void PreviewWindow::ClearThumbnails() {
    // Out of the list before they go: a frame being destroyed still sends
    // events through the filter, which must not meet it there.
    const QList<ThumbnailFrame *> frames = std::exchange(Frames, {});
    qDeleteAll(frames);
}

void PreviewWindow::LoaderTimerTimer() {
    if (Busy)
        return;
    ThumbnailFrame *next = nullptr;
    for (ThumbnailFrame *frame : std::as_const(Frames))
        if (!frame->PendingFile.isEmpty()) {
            next = frame;
            break;
        }
    if (!next) {
        LoaderTimer->stop();
        Loader->ReleaseCache();
        return;
    }
    Busy = true;
    ++Requested;
    const QString path = next->PendingFile;
    QPointer<ThumbnailFrame> frame = next;
    Loader->Request(path, QSize(ThumbnailSide, ThumbnailSide),
                    [this, frame, path](const LoadedPicture &picture) {
                        Busy = false;
                        if (!frame || frame->PendingFile != path)
                            return;
                        frame->Fill(path, picture);
                        if (!CurrentFile.isEmpty() && path == CurrentFile && !BigImageShown())
                            frame->SetHighlight(true);
                    });
}

void PreviewWindow::Highlight(const ThumbnailFrame *chosen) {
    for (ThumbnailFrame *frame : std::as_const(Frames))
        frame->SetHighlight(frame == chosen);
}

void PreviewWindow::ThumbnailClick(ThumbnailFrame *frame) {
    // A thumbnail still waiting for its picture has nothing to show large.
    if (frame->ShownFile.isEmpty())
        return;
    Highlight(frame);
    ShowBigImage(frame->ShownFile);
}

void PreviewWindow::ShowBigImage(const QString &path) {
    BigImage->hide();
    BigFile = path;
    if (!isMaximized())
        showMaximized();
    QCoreApplication::processEvents();
    const QSize screen = this->screen() ? this->screen()->size() : QSize(1024, 768);
    const QSize box(std::max(1, screen.width() - BigImageSideRoom),
                    std::max(1, screen.height() - BigImageTopRoom));
    ++Requested;
    Loader->Request(path, box, [this, path](const LoadedPicture &picture) {
        // Gone back, or another picture chosen, while this one was decoded.
        if (BigFile != path)
            return;
        if (!picture.Loaded) {
            BackToThumbnails();
            return;
        }
        BigPicture = QPixmap::fromImage(picture.Bitmap);
        BigImage->setPixmap(BigPicture);
        BigImage->setAccessibleName(FileNamePart(path));
        BigImage->show();
        FormResize();
    });
}

void PreviewWindow::BigImageClick() {
    BackToThumbnails();
}

void PreviewWindow::BackToThumbnails() {
    BigImage->hide();
    BigImage->clear();
    BigPicture = QPixmap();
    BigFile.clear();
    Highlight(nullptr);
    if (isMaximized())
        showNormal();
    SetClientSize(ScrollBoxWidth, ClientHeight());
}

void PreviewWindow::FormResize() {
    const int height = Client->height();
    ScrollBox->setGeometry(0, 0, ScrollBoxWidth, height);
    if (!BigImage->isVisible() || BigPicture.isNull())
        return;
    const int freeWidth = Client->width() - ScrollBoxWidth;
    const QSize picture = BigPicture.deviceIndependentSize().toSize();
    const double f = FitScale(picture.width(), picture.height(), freeWidth, height);
    const int w = int(std::lround(picture.width() * f));
    const int h = int(std::lround(picture.height() * f));
    BigImage->setScaledContents(w != picture.width());
    BigImage->setGeometry(ScrollBoxWidth + (freeWidth - w) / 2, (height - h) / 2, w, h);
}

void PreviewWindow::ScrollByWheel(int angleDelta) {
    QScrollBar *bar = ScrollBox->verticalScrollBar();
    bar->setValue(bar->value() - angleDelta / 2);
}

void PreviewWindow::TakeKeyboard() {
    activateWindow();
    raise();
    if (Frames.isEmpty()) {
        ScrollBox->setFocus(Qt::ShortcutFocusReason);
        return;
    }
    const int highlighted = HighlightedThumbnail();
    ThumbnailFrame *frame = Frames.at(highlighted >= 0 ? highlighted : 0);
    ScrollBox->ensureWidgetVisible(frame);
    frame->setFocus(Qt::ShortcutFocusReason);
}

void PreviewWindow::View1Click() {
    PreviewEnabled() = false;
    HidePreview(true);
    emit PreviewSwitchedOff();
}

void PreviewWindow::Visible1Click() {
    close();
}

void PreviewWindow::closeEvent(QCloseEvent *event) {
    if (BigImageShown())
        BackToThumbnails();
    event->accept();
}

void PreviewWindow::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (BigImageShown()) {
            BigImageClick();
            return;
        }
        for (ThumbnailFrame *frame : std::as_const(Frames))
            if (frame->hasFocus()) {
                ThumbnailClick(frame);
                return;
            }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void PreviewWindow::wheelEvent(QWheelEvent *event) {
    ScrollByWheel(event->angleDelta().y());
    event->accept();
}

bool PreviewWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Client && event->type() == QEvent::Resize) {
        FormResize();
        return false;
    }
    if (watched == ScrollBox->viewport() && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent *>(event));
        return true;
    }
    if (watched == BigImage && IsPress(event)) {
        BigImageClick();
        return true;
    }
    for (ThumbnailFrame *frame : std::as_const(Frames))
        if ((watched == frame->Image || watched == frame) && IsPress(event)) {
            frame->setFocus(Qt::MouseFocusReason);
            ThumbnailClick(frame);
            return true;
        }
    return QWidget::eventFilter(watched, event);
}
