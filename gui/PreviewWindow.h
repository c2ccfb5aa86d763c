#pragma once
// The image preview: a narrow window that stays on top beside the main window
// and shows the pictures of the selected row's block as thumbnails, one below
// the other, with name, folder and size. A click on a thumbnail fills the
// screen with that picture; a click on the picture goes back. The pictures are
// decoded on a thread of their own, one per tick of the loader timer.

#include <QList>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>

class PreviewLoader;
class QLabel;
class QMenuBar;
class QScrollArea;
class QTimer;
class QVBoxLayout;
class ThumbnailFrame;

class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    // Created on first use; placed beside the main window when first shown.
    explicit PreviewWindow(QWidget *mainWindow);
    ~PreviewWindow() override;

    // Shows the pictures of a block and highlights the current one. The
    // thumbnails are built again only when the block changes. True when the
    // window was hidden and has just been shown; false also when no picture
    // can be decoded on this system.
    bool ShowPreview(int group, const QStringList &paths, const QString &current);
    // Closes the window; with forget it also drops the thumbnails and the block.
    void HidePreview(bool forget);
    // Half the wheel's angle in pixels, upwards for a positive angle.
    void ScrollByWheel(int angleDelta);
    // Activates the window with the highlighted (else the first) thumbnail
    // focused, so its pictures and menu can be used without a mouse.
    void TakeKeyboard();

    int CurrentGroup() const { return Group; }
    int ClientHeight() const;
    bool BigImageShown() const;
    // Per thumbnail the file it shows: empty while it waits or when its
    // picture could not be read.
    QStringList ShownFiles() const;
    // The highlighted thumbnail, -1 when none.
    int HighlightedThumbnail() const;
    // Pictures asked of the decoder since the window was made.
    int PicturesRequested() const { return Requested; }

signals:
    // The window's own menu switched the preview off.
    void PreviewSwitchedOff();

public slots:
    void LoaderTimerTimer();
    void BigImageClick();
    void View1Click();
    void Visible1Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void FormResize();
    void ClearThumbnails();
    void Highlight(const ThumbnailFrame *frame);
    void ThumbnailClick(ThumbnailFrame *frame);
    void ShowBigImage(const QString &path);
    void BackToThumbnails();
    void SetClientSize(int width, int height);
    void PlaceBeside(const QWidget *mainWindow);

    QWidget *MainWindowOf = nullptr;
    QMenuBar *MainMenu1 = nullptr;
    QWidget *Client = nullptr;
    QScrollArea *ScrollBox = nullptr;
    QVBoxLayout *Column = nullptr;
    QLabel *BigImage = nullptr;
    QTimer *LoaderTimer = nullptr;
    PreviewLoader *Loader = nullptr;

    QList<ThumbnailFrame *> Frames;
    int Group = -1;
    // The selected file, highlighted also when its thumbnail arrives later.
    QString CurrentFile;
    // The file the large view shows or waits for; empty in the thumbnail view.
    QString BigFile;
    QPixmap BigPicture;
    bool Busy = false;
    bool Placed = false;
    int SavedHeight = 0;
    int Requested = 0;
};
