// The result's export, clipboard and image preview driven offscreen through
// the main window's menus and the result list: dialogs answered through their
// seam, message boxes through the program's message-box routine.

#include "TestSupport.h"
#include "gui/FileDialogs.h"
#include "gui/GuiHost.h"
#include "gui/MainWindow.h"
#include "gui/PreviewWindow.h"
#include "gui/ResultList.h"
#include "lang/IniDatei.h"
#include "lang/MsgDlgUnit.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/widgets/LangWidgets.h"
#include "results/ExportUnit.h"
#include "results/PreviewUnit.h"
#include "search/MainPhrases.h"

#include <QSettings>
#include <QTest>
#include <QtWidgets>

using namespace TestSupport;
using namespace Qt::StringLiterals;

class TestExportAndPreview : public QObject {
    Q_OBJECT

    QTemporaryDir Settings;
    std::unique_ptr<MainWindow> Window;
    std::unique_ptr<TempFolder> Tree;
    QString Root;
    QStringList Boxes;
    QList<int> Answers; // for questions, in order; none left means Cancel
    QList<QUrl> Opened;

    template <typename T = QWidget> T *Find(const char *name) const {
        T *widget = Window->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no %s", name);
        return widget;
    }
    QListView *NameBox() const { return Find<QListView>("NameBox"); }
    PreviewWindow *Preview() const { return Window->ImagePreview(); }
    void ClickRow(int row) {
        QListView *pane = NameBox();
        const QRect rect = pane->visualRect(pane->model()->index(row, 0));
        QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, QPoint(80, rect.center().y()));
    }
    void Search() {
        Find<QTabWidget>("PageControl")->setCurrentIndex(0);
        Find<QComboBox>("FolderEd")->setEditText(Root);
        Find<QAbstractButton>("FindBtn")->click();
    }
    QString Picture(const QString &name, QColor color) const {
        QImage image(320, 240, QImage::Format_RGB32);
        image.fill(color);
        if (!image.save(Root + name))
            qFatal("cannot write %s", qPrintable(name));
        return name;
    }
    // Blocks as an image search leaves them; names without a fingerprint are
    // files of other kinds.
    void ShowBlocks(const QList<QStringList> &blocks, bool identical = false) {
        Context().CommonBaseFolder = Root;
        Context().LastRunOptions.CompareContents = true;
        Context().LastRunOptions.ContentPercent = identical ? 100 : 90;
        for (const QStringList &block : blocks) {
            const int head = int(MatchList().size());
            for (const QString &name : block) {
                FileRecord r{.ImageId = IsImageFile(name) ? head + 1 : -1, .Group = head};
                r.IsBlockHead = int(MatchList().size()) == head;
                MatchList().push_back({name, std::make_unique<FileRecord>(r)});
            }
        }
        Window->ResultPanes()->FillResultList();
        Find<QTabWidget>("PageControl")->setCurrentWidget(Find("ResultSheet"));
    }

public slots:
    void OpenUrl(const QUrl &url) { Opened << url; }

private slots:
    void initTestCase() {
        QDesktopServices::setUrlHandler(u"file"_s, this, "OpenUrl");
        QApplication::setQuitOnLastWindowClosed(false);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Settings.path());
        InstallWidgetLanguageSupport();
        FileDialogs::SetAnswersOnly(true);
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(u"file"_s); }

    void init() {
        ResetEngine();
        SetSettingsPath(Settings.filePath("dupliscan.ini"));
        LoadPhraseText(
            PhraseTable(),
            QString::fromUtf8(ReadWholeFile(DUPLISCAN_SOURCE_DIR "/lang/Dupliscan.lng.txt")),
            false);
        WriteSetting("Language", "EN");
        Boxes.clear();
        Answers.clear();
        Opened.clear();
        SetMessageBoxHandler([this](const QString &text, TMsgDlgType type, int) {
            Boxes.append(text);
            if (type != TMsgDlgType::Confirmation)
                return int(mrOk);
            return Answers.isEmpty() ? int(mrCancel) : Answers.takeFirst();
        });
        Tree = std::make_unique<TempFolder>();
        Root = Tree->path() + u'/';
        Window = std::make_unique<MainWindow>();
        Window->SearchHostOfWindow().SetEventInterval(0);
        Window->resize(760, 700);
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    }
    void cleanup() {
        Window.reset();
        FileDialogs::ClearNextAnswer();
        RemoveTree(Tree->path());
    }

    // ------------------------------------------------------------ export

    void exportAsksToOpenTheSavedFile() {
        QAction *save = Find<QAction>("SaveAs1");
        QVERIFY(!save->isEnabled()); // nothing found yet
        WriteAt(Root, "a/one.txt", "pair");
        WriteAt(Root, "b/one.txt", "pair");
        Search();
        QVERIFY(save->isEnabled());
        bool hasApplication = true;
        Window->SetDefaultApplicationQuery([&](const QString &) { return hasApplication; });
        const QString question =
            GetPhrase(MainFormPhrases(), 32) + u'\n' + GetPhrase(MainFormPhrases(), 33);

        // The format the dialog starts with; which name gets which format is TestExportUnit's.
        FileDialogs::SetNextFileName(Root + "out");
        Answers = {mrNo};
        save->trigger();
        QCOMPARE(ReadAll(Root + "out.xls").left(2), QByteArray("\x09\x08"));
        QCOMPARE(Boxes, QStringList{question});
        QVERIFY(Opened.isEmpty());

        FileDialogs::SetNextFileName(Root + "list.csv");
        Answers = {mrYes};
        Find<QAction>("SaveAs2")->trigger(); // the popup's item
        QCOMPARE(Opened, QList<QUrl>{QUrl::fromLocalFile(Root + "list.csv")});

        // Without an application to open it there is nothing to ask; a
        // cancelled dialog writes nothing.
        hasApplication = false;
        Boxes.clear();
        FileDialogs::SetNextFileName(Root + "quiet.xls");
        save->trigger();
        FileDialogs::SetNextFileName(QString());
        save->trigger();
        QVERIFY(QFile::exists(Root + "quiet.xls"));
        QVERIFY(Boxes.isEmpty());
    }

    void exportProblemsAreNamed() {
        WriteAt(Root, "a/one.txt", "pair");
        WriteAt(Root, "b/one.txt", "pair");
        Search();
        Window->SetDefaultApplicationQuery([](const QString &) { return false; });
        FileDialogs::SetNextFileName(Root + "missing/out.xls");
        Window->SaveAs1Click();
        QCOMPARE(Boxes, QStringList{"The file could not be saved.\n" + Root +
                                    "missing/out.xls\nNo such file or directory"});

        // The dialog asked about "old"; "old.xls" is another file and needs
        // its own answer.
        const QString old = WriteAt(Root, "old.xls", "keep");
        Boxes.clear();
        FileDialogs::SetNextFileName(Root + "old");
        Window->SaveAs1Click();
        QCOMPARE(Boxes,
                 QStringList{"This file already exists. Do you want to replace it?\n" + old});
        QCOMPARE(ReadAll(old), QByteArray("keep"));
        Answers = {mrYes};
        FileDialogs::SetNextFileName(Root + "old");
        Window->SaveAs1Click();
        QCOMPARE(ReadAll(old).left(2), QByteArray("\x09\x08"));
    }

    void clipboardTakesTheListOrOneName() {
        WriteAt(Root, "a/one.txt", "pair");
        WriteAt(Root, "b/one.txt", "pair");
        Search();
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText(u"before"_s);
        Find<QAction>("CopyFilename1")->trigger(); // no row selected
        QCOMPARE(clipboard->text(), u"before"_s);
        Find<QAction>("CopyResult1")->trigger(); // the text is TestExportUnit's
        QVERIFY(clipboard->text().startsWith("-\n" + Root + "a/one.txt\n"));
        ClickRow(1);
        NameBox()->setFocus();
        QTest::keyClick(NameBox(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), Root + "b/one.txt");
    }

    // ------------------------------------------------------------ preview

    void previewFollowsTheSelectedBlock() {
        const QStringList three{Picture("p1.png", Qt::red), Picture("p2.png", Qt::green),
                                Picture("p3.png", Qt::blue)};
        const QStringList two{Picture("q1.png", Qt::cyan), Picture("q2.png", Qt::gray)};
        WriteAt(Root, "a.txt", "a");
        ShowBlocks({three, {"a.txt", "a.txt"}, {Picture("single.png", Qt::black), "a.txt"}, two});
        ClickRow(0);
        QVERIFY(Preview() && Preview()->isVisible());
        QTRY_COMPARE(Preview()->ShownFiles(),
                     (QStringList{Root + three[0], Root + three[1], Root + three[2]}));
        QCOMPARE(Preview()->HighlightedThumbnail(), 0);
        const int height = Preview()->ClientHeight();

        // Another file of the block: nothing loads again, the highlight moves.
        const int requested = Preview()->PicturesRequested();
        ClickRow(2);
        QCOMPARE(Preview()->HighlightedThumbnail(), 2);
        QCOMPARE(Preview()->ShownFiles().count(QString()), 0);
        QCOMPARE(Preview()->PicturesRequested(), requested);

        // A block without pictures closes the window, keeping its thumbnails.
        ClickRow(3);
        QVERIFY(!Preview()->isVisible());
        QCOMPARE(Preview()->CurrentGroup(), 0);

        // One picture needs a low window (TestPreviewUnit); the next block gets the height back.
        ClickRow(5);
        QVERIFY(Preview()->isVisible());
        ClickRow(7);
        QCOMPARE(Preview()->ClientHeight(), height);

        // Before files are removed the preview forgets what it showed.
        Window->HideImagePreview(true);
        QVERIFY(!Preview()->isVisible());
        QCOMPARE(Preview()->CurrentGroup(), -1);
        QVERIFY(Preview()->ShownFiles().isEmpty());
    }

    // Answers for the thumbnails of a block left while they were decoded
    // must not land in the next block's frames, nor hold up its loading.
    void blocksChangeWhileDecoding() {
        QImage noise(1200, 900, QImage::Format_RGB32);
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x)
                noise.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
        QStringList first;
        for (int k = 0; k < 3; ++k) {
            first << u"big%1.png"_s.arg(k);
            QVERIFY(noise.save(Root + first.last()));
        }
        const QStringList second{Picture("s1.png", Qt::red), Picture("s2.png", Qt::blue)};
        ShowBlocks({first, second});
        const auto decodingFirst = [&] {
            const int before = Preview() ? Preview()->PicturesRequested() : 0;
            ClickRow(0);
            QTRY_VERIFY(Preview()->PicturesRequested() > before);
        };
        for (int round = 0; round < 3; ++round) {
            decodingFirst();
            ClickRow(3);
        }
        QTRY_COMPARE(Preview()->ShownFiles(), (QStringList{Root + second[0], Root + second[1]}));
        ClickRow(1);
        QTRY_COMPARE(Preview()->ShownFiles().count(QString()), 0);
        // Closing the program while a picture is decoded.
        ClickRow(3);
        decodingFirst();
        Window.reset();
    }

    void identicalPhotosShowOnce() {
        const QString photo = Picture("photo.png", Qt::red);
        QFile::copy(Root + photo, Root + "copy.png");
        ShowBlocks({{photo, "copy.png"}}, true);
        ClickRow(1);
        QTRY_COMPARE(Preview()->ShownFiles(), QStringList{Root + photo});
        QCOMPARE(Preview()->HighlightedThumbnail(), -1);
    }

    void previewSwitchesOffAndCloses() {
        ShowBlocks({{Picture("p1.png", Qt::red), Picture("p2.png", Qt::green)}});
        ClickRow(0);
        QVERIFY(Preview()->isVisible());
        // The window's own menu switches the preview off; the View menu says so.
        Preview()->findChild<QAction *>("View1")->trigger();
        QVERIFY(!Preview()->isVisible() && !PreviewEnabled());
        QVERIFY(!Find<QAction>("ImagePreview1")->isChecked());
        ClickRow(1);
        QVERIFY(!Preview()->isVisible());
        Find<QAction>("ImagePreview1")->trigger();
        QVERIFY(Preview()->isVisible());

        // Escape in the list, the window's "hide" and a page change close it;
        // the next selection shows it again.
        NameBox()->setFocus();
        QTest::keyClick(NameBox(), Qt::Key_Escape);
        QVERIFY(!Preview()->isVisible());
        ClickRow(0);
        Preview()->findChild<QAction *>("Visible1")->trigger();
        QVERIFY(!Preview()->isVisible() && PreviewEnabled());
        ClickRow(1);
        Find<QTabWidget>("PageControl")->setCurrentIndex(0);
        QVERIFY(!Preview()->isVisible());
        QCOMPARE(Preview()->CurrentGroup(), 0);
        // A run starts with an empty preview.
        Search();
        QCOMPARE(Preview()->CurrentGroup(), -1);
    }

    void largeViewAndWheel() {
        QStringList pictures;
        for (const QColor color : {Qt::red, Qt::green, Qt::blue, Qt::yellow})
            pictures << Picture(color.name().mid(1) + ".png", color);
        ShowBlocks({pictures});
        ClickRow(0);
        QTRY_COMPARE(Preview()->ShownFiles().last(), Root + pictures.last());
        auto *column = Preview()->findChild<QScrollArea *>("ScrollBox")->verticalScrollBar();
        QVERIFY(column->maximum() > 60);
        Preview()->ScrollByWheel(-120);
        QCOMPARE(column->value(), 60);
        // The main window passes on the wheel over the preview.
        const QPoint over = Preview()->frameGeometry().center();
        QWheelEvent wheel(Window->mapFromGlobal(QPointF(over)), QPointF(over), {}, {0, 120},
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(Window.get(), &wheel);
        QCOMPARE(column->value(), 0);

        const QList<QLabel *> images = Preview()->findChildren<QLabel *>("Image");
        QTest::mouseClick(images.at(1), Qt::LeftButton);
        QVERIFY(Preview()->BigImageShown() && Preview()->isMaximized());
        QLabel *big = Preview()->findChild<QLabel *>("BigImage");
        QTRY_VERIFY(big->isVisible());
        QCOMPARE(big->size(), QSize(320, 240));
        QCOMPARE(Preview()->HighlightedThumbnail(), 1);
        QTest::mouseClick(big, Qt::LeftButton);
        QVERIFY(!Preview()->BigImageShown() && !Preview()->isMaximized() && !big->isVisible());

        // The same by keyboard: F6 from the list to the thumbnails and back.
        ClickRow(2);
        QTest::keyClick(NameBox(), Qt::Key_F6);
        QTRY_VERIFY(QApplication::focusWidget() &&
                    QApplication::focusWidget()->objectName() == u"PicThumbFrame"_s);
        QVERIFY(Preview()->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(Preview()->BigImageShown());
        QTRY_VERIFY(big->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!Preview()->BigImageShown());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
        QTRY_COMPARE(QApplication::activeWindow(), Window.get());
    }
};

QTEST_MAIN(TestExportAndPreview)
#include "TestExportAndPreview.moc"
