// The screenshot tour: starts the desktop program as its entry point does,
// walks through what a person sees (start page, filter dialog, a run, the
// results of an exact and of a picture search, the two selection dialogs and
// the marks they give, a removal with its dialogs and report, the legend) by the same
// buttons a person clicks, and saves each view as a PNG. Run under a real
// X server (Xvfb); scripts/screenshots.sh does that.
//
//   ScreenshotTour OUTPUT_FOLDER LANGUAGE_CAPTION SUFFIX

#include "gui/DeletionProblemDialog.h"
#include "gui/MainWindow.h"
#include "gui/Program.h"
#include "gui/ResultList.h"
#include "lang/MultiLingua.h"
#include "results/Engine.h"
#include "search/MatchList.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

namespace {
QString OutputFolder;
QString Suffix;

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The part of the screen the program's windows cover.
void Shoot(const QString &name) {
    Wait(300);
    QRect covered;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible() && !qobject_cast<QMenu *>(window))
            covered |= window->frameGeometry();
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    const QString file = OutputFolder + QLatin1Char('/') + name + Suffix + QStringLiteral(".png");
    if (!screen.copy(covered).save(file))
        qFatal("cannot write %s", qPrintable(file));
}

void Write(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray Random(int size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char &c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

// A picture with a sky, a sun and some hills; the seed decides the colours.
QImage Picture(quint32 seed) {
    QRandomGenerator generator(seed);
    QImage image(800, 600, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 600);
    sky.setColorAt(0, QColor::fromHsv(int(generator.bounded(360)), 120, 230));
    sky.setColorAt(1, QColor::fromHsv(int(generator.bounded(360)), 60, 250));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv(int(generator.bounded(60)), 200, 255));
    painter.drawEllipse(QPoint(int(generator.bounded(700)) + 50, 150), 60, 60);
    for (int k = 0; k < 4; ++k) {
        painter.setBrush(QColor::fromHsv(int(generator.bounded(90, 150)), 180, 80 + 40 * k));
        painter.drawEllipse(QPoint(int(generator.bounded(800)), 600), 300, 160 + 30 * k);
    }
    return image;
}

// Documents with copies in other folders, a few thousand small files for a
// run long enough to watch, and pictures with re-encoded and smaller copies.
void MakeDemoTree(const QString &root) {
    const QByteArray report = Random(48000, 1), invoice = Random(12000, 2), song = Random(90000, 3),
                     notes = "Shopping list: bread, milk, apples\n";
    Write(root + "/Documents/Reports/2023/annual report.pdf", report);
    Write(root + "/Documents/Backup/annual report.pdf", report);
    Write(root + "/Documents/Backup/old/annual report (2).pdf", report);
    Write(root + "/Documents/Invoices/invoice 0815.pdf", invoice);
    Write(root + "/Documents/Downloads/invoice 0815 (1).pdf", invoice);
    Write(root + "/Documents/Music/Demo - Live Recording.mp3", song);
    Write(root + "/Documents/Music/Copy of Demo - Live Recording.mp3", song);
    Write(root + "/Documents/notes.txt", notes);
    Write(root + "/Documents/Desktop/notes.txt", notes);
    Write(root + "/Documents/Letters/letter to the bank.odt", Random(20000, 4));
    for (int k = 0; k < 4000; ++k)
        Write(root + QStringLiteral("/Archive/box %1/item %2.dat").arg(k % 40).arg(k),
              Random(200 + k % 500, 100 + quint32(k % 2000)));
    for (quint32 k = 0; k < 4; ++k) {
        const QImage picture = Picture(10 + k);
        const QString name = root + QStringLiteral("/Pictures/holiday %1").arg(k + 1);
        QDir().mkpath(root + "/Pictures/Phone");
        picture.save(name + ".png");
        picture.save(root + QStringLiteral("/Pictures/Phone/IMG_%1.jpg").arg(4711 + k), "JPEG", 70);
        if (k % 2 == 0)
            picture.scaled(400, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .save(name + " small.jpg", "JPEG", 85);
    }
}

template <typename T> T *Find(QWidget *window, const char *name) {
    T *widget = window->findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no %s", name);
    return widget;
}

void ChooseLanguage(QWidget *window, const QString &caption) {
    for (QAction *item : Find<QMenu>(window, "Language1")->actions())
        if (item->text() == caption)
            item->trigger();
}

// Once the modal dialog is up: its picture, then the buttons named.
void ShootDialog(const QString &name, QStringList buttons) {
    QTimer::singleShot(700, [name, buttons] {
        Shoot(name);
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        for (const QString &button : buttons)
            Find<QAbstractButton>(dialog, button.toLatin1().constData())->click();
        if (dialog->isVisible())
            dialog->reject();
    });
}

void Search(MainWindow &window, const QString &folder) {
    auto *folderEd = Find<QWidget>(&window, "FolderEd");
    folderEd->findChild<QLineEdit *>()->setText(folder);
    Find<QAbstractButton>(&window, "FindBtn")->click();
    Wait(200);
}
} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dupliscan"));
    if (argc != 4)
        qFatal("usage: ScreenshotTour OUTPUT_FOLDER LANGUAGE_CAPTION SUFFIX");
    OutputFolder = QString::fromLocal8Bit(argv[1]);
    Suffix = QString::fromLocal8Bit(argv[3]);
    QTemporaryDir demo;
    // The holding folder of a removal lies below the home folder.
    qputenv("HOME", QFile::encodeName(demo.path()));
    const QString root = demo.path() + QStringLiteral("/demo");
    MakeDemoTree(root);
    {
        const std::unique_ptr<MainWindow> window = StartProgram({root + "/Documents/"});
        window->move(0, 0);
        window->resize(860, 720);
        window->show();
        ChooseLanguage(window.get(), QString::fromLocal8Bit(argv[2]));
        Shoot(QStringLiteral("start"));

        QTimer::singleShot(700, [] {
            Shoot(QStringLiteral("filter"));
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        Find<QAbstractButton>(window.get(), "FilterBtn")->click();

        // Paused once the compare has begun, so the run's progress stays on screen.
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (Find<QPlainTextEdit>(window.get(), "StatusMemo")->blockCount() < 3)
                return;
            watch.stop();
            Find<QAbstractButton>(window.get(), "PauseBtn")->click();
            Shoot(QStringLiteral("running"));
            Find<QAbstractButton>(window.get(), "ContinueBtn")->click();
        });
        watch.start(5);
        Search(*window, root + "/Archive/");
        watch.stop();

        Search(*window, root + "/Documents/");
        Shoot(QStringLiteral("result-exact"));

        // The folders of that result, the backup tree chosen for deletion and
        // the hierarchy in colour; then the marks it gives.
        QTimer::singleShot(700, [] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto *box = Find<QListView>(dialog, "Box");
            for (int row = 0; row < box->model()->rowCount(); ++row)
                if (box->model()->index(row, 0).data().toString().endsWith("/Backup/"))
                    box->setCurrentIndex(box->model()->index(row, 0));
            Find<QAbstractButton>(dialog, "SubfoldersDeleteBtn")->click();
            Find<QAbstractButton>(dialog, "HierarchyCheck")->click();
            Shoot(QStringLiteral("select-folders"));
            Find<QAbstractButton>(dialog, "OkBtn")->click();
        });
        Find<QAbstractButton>(window.get(), "AutoSelFoldersBtn")->click();
        Shoot(QStringLiteral("result-selected"));

        QTimer::singleShot(700, [] {
            Shoot(QStringLiteral("select-properties"));
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        Find<QAbstractButton>(window.get(), "AutoSelNamesBtn")->click();

        // The backup copies go into the holding folder; the report says so
        // beside the button that puts them back.
        for (FileEntry &entry : MatchList())
            if (entry.Text.startsWith(QStringLiteral("Backup/")))
                entry.Record->Mark = Delete;
        window->ResultPanes()->RefreshAll();
        ShootDialog(QStringLiteral("delete-confirm"),
                    {QStringLiteral("MoveRadio"), QStringLiteral("OkBtn")});
        Find<QAbstractButton>(window.get(), "DelTwinsBtn")->click();
        Shoot(QStringLiteral("removed"));
        {
            DeletionProblemDialog problem(window.get());
            ShootDialog(QStringLiteral("delete-problem"), {});
            problem.Ask(QStringLiteral("/media/stick/Music/Demo - Live Recording.mp3"),
                        QStringLiteral("/media/stick/"));
        }

        Find<QAbstractButton>(window.get(), "ImagesRadio")->click();
        Find<QLineEdit>(window.get(), "PercentEd")->setText(QStringLiteral("90%"));
        Search(*window, root + "/Pictures/");
        Shoot(QStringLiteral("result-similar"));

        for (QWidget *other : QApplication::topLevelWidgets())
            if (other != window.get() && other->isVisible() && other->objectName() != "")
                if (other->windowFlags() & Qt::Tool) {
                    const QString file =
                        OutputFolder + QStringLiteral("/legend") + Suffix + QStringLiteral(".png");
                    other->grab().save(file);
                }
    }
    CloseEngine();
    return 0;
}
