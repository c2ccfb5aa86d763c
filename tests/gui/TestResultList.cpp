#include "gui/Colors.h"
#include "gui/ResultList.h"
#include "gui/ResultModel.h"
#include "gui/ResultRows.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/widgets/LangWidgets.h"
#include "results/ResultListUnit.h"

#include "TestSupport.h"

#include <QAction>
#include <QListView>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QWheelEvent>

using namespace ResultRows;
using namespace Qt::StringLiterals;

namespace {
constexpr qint64 July2010 = 129224592000000000; // 2010-07-01 12:00 UTC

// Appends a block as a run leaves it in the match list: head first, every
// member pointing at the head's row, one colour for the block.
void AddBlock(int files, quint32 color, quint8 mark = Stay) {
    FileList &list = MatchList();
    const int head = int(list.size());
    for (int k = 0; k < files; ++k) {
        FileRecord record{.Size = 2048, .WriteTime = July2010, .Group = head, .Percent = 85};
        record.Mark = mark;
        record.IsBlockHead = k == 0;
        record.BlockColor = color;
        list.push_back({QStringLiteral("folder %1/file %2.txt").arg(head).arg(k),
                        std::make_unique<FileRecord>(record)});
    }
}

void AddBlocks(int count, int files) {
    for (int b = 0; b < count; ++b)
        AddBlock(files, BlockColors[std::size_t(b) % BlockColors.size()]);
}

int TopRow(const QListView *pane) {
    return pane->indexAt(QPoint(30, 2)).row();
}
} // namespace

class TestResultList : public QObject {
    Q_OBJECT

    QWidget *Window = nullptr;
    ResultList *List = nullptr;
    QListView *NameBox = nullptr;
    QListView *InfoBox = nullptr;
    QScrollBar *ScrollBar = nullptr;
    QStringList Opened, Shown;

    QAbstractItemModel *Model() const { return NameBox->model(); }
    QVariant Data(int row, int role) const { return Model()->index(row, 0).data(role); }
    quint8 Mark(int row) const { return quint8(Data(row, ResultModel::MarkRole).toUInt()); }
    QPoint RowPoint(QListView *pane, int row, int x) const {
        return QPoint(x, pane->visualRect(Model()->index(row, 0)).center().y());
    }
    // The list on the screen, with rows filled in and all layout done.
    void Fill() {
        List->FillResultList();
        QCoreApplication::processEvents();
        QTRY_VERIFY(NameBox->verticalScrollBar()->maximum() == ScrollBar->maximum());
    }
    void Wheel(QWidget *target, int angle, QPoint at = {5, 5}) {
        QWheelEvent event(at, target->mapToGlobal(at), {}, {0, angle}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(target, &event);
    }
    void VerifyPanesTogether(int top) {
        QCOMPARE(ScrollBar->value(), top);
        QCOMPARE(TopRow(NameBox), top);
        QCOMPARE(TopRow(InfoBox), top);
    }

private slots:
    void init() {
        ResetEngine();
        Context().CommonBaseFolder = QStringLiteral("/data/");
        Window = new QWidget;
        List = new ResultList(Window);
        (new QVBoxLayout(Window))->addWidget(List);
        Window->resize(700, 250);
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window));
        NameBox = List->findChild<QListView *>(QStringLiteral("NameBox"));
        InfoBox = List->findChild<QListView *>(QStringLiteral("InfoBox"));
        ScrollBar = List->findChild<QScrollBar *>(QStringLiteral("ScrollBar"));
        QVERIFY(NameBox && InfoBox && ScrollBar);
        Opened.clear();
        Shown.clear();
        List->SetFileCommands([this](const QString &path) { Opened << path; },
                              [this](const QString &path) { Shown << path; });
    }
    void cleanup() {
        delete Window;
        ClearMatchList();
    }

    void aRunWithoutMatchesShowsNothing() {
        Fill();
        QCOMPARE(Model()->rowCount(), 0);
        QVERIFY(!ScrollBar->isVisible());
        AddBlocks(2, 3);
        Fill();
        QCOMPARE(Model()->rowCount(), 6);
        QVERIFY(ScrollBar->isVisible());
        // The next run clears the list before the engine frees the records.
        List->ClearResultList();
        ClearMatchList();
        QCOMPARE(Model()->rowCount(), 0);
        QVERIFY(!ScrollBar->isVisible());
        List->repaint();
    }

    void percentColumnOnlyForSimilarityRuns_data() {
        QTest::addColumn<int>("contentPercent");
        QTest::addColumn<int>("pathLeft");
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("member");
        QTest::newRow("exact contents") << 100 << 24 << ""
                                        << "";
        QTest::newRow("similar contents") << 80 << 74 << ">"
                                          << "85%";
    }
    void percentColumnOnlyForSimilarityRuns() {
        QFETCH(int, contentPercent);
        Context().LastRunOptions.ContentPercent = quint8(contentPercent);
        AddBlock(2, 0xFFFFFF);
        Fill();
        QTEST(LayoutNameRow(QRect(0, 0, 400, RowHeight), ShowsPercentColumn()).Path.left(),
              "pathLeft");
        QTEST(Data(0, ResultModel::PercentRole).toString(), "head");
        QTEST(Data(1, ResultModel::PercentRole).toString(), "member");
        QCOMPARE(Data(1, Qt::DisplayRole).toString(), u"folder 0/file 1.txt"_s);
    }

    void dateViewsSizeThePaneAndKeepTheSize_data() {
        QTest::addColumn<int>("view");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("dateLength");
        QTest::newRow("size only") << 0 << 100 << 0;
        QTest::newRow("date") << 1 << 190 << 10;
        QTest::newRow("date and time") << 2 << 240 << 17;
    }
    void dateViewsSizeThePaneAndKeepTheSize() {
        QFETCH(int, view);
        AddBlock(2, 0xFFFFFF);
        MatchList()[1].Record->Mark = Virtual;
        Fill();
        QCOMPARE(InfoBox->width(), InitialInfoPaneWidth);
        List->SetDateView(quint8(view));
        QCOMPARE(DateView(), quint8(view));
        QFETCH(int, width);
        QTRY_COMPARE(InfoBox->width(), width);
        QTEST(int(Data(0, ResultModel::DateRole).toString().size()), "dateLength");
        QCOMPARE(Data(0, ResultModel::SizeRole).toString(), u" 2 KB "_s);
        QCOMPARE(Data(1, ResultModel::DateRole).toString(), view ? u"virtuell"_s : QString());
        QCOMPARE(Data(1, ResultModel::SizeRole).toString(), u"- "_s);
    }

    void blocksAlternateAndEndInALine() {
        AddBlock(2, 0xFFFFFF);
        AddBlock(3, 0xD0FFD0);
        AddBlock(2, 0xFFFFFF);
        Fill();
        QString rows; // w: white, t: tinted, _: a line below the row
        for (int row = 0; row < 7; ++row) {
            const QColor color = Data(row, Qt::BackgroundRole).value<QColor>();
            rows += color == FromBgr(0xFFFFFF)   ? u"w"_s
                    : color == FromBgr(0xEEE7C0) ? u"t"_s
                                                 : u"?"_s;
            if (Data(row, ResultModel::SeparatorRole).toBool())
                rows += u'_';
        }
        QCOMPARE(rows, u"ww_ttt_ww"_s);
    }

    void iconClickChangesOnlyThatRow_data() {
        QTest::addColumn<quint8>("mark");
        QTest::addColumn<int>("x");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<quint8>("after");
        QTest::newRow("stay") << quint8(Stay) << 8 << Qt::LeftButton << quint8(Delete);
        QTest::newRow("delete") << quint8(Delete) << 8 << Qt::LeftButton << quint8(StayNoDelete);
        QTest::newRow("kept") << quint8(StayNoDelete) << 17 << Qt::LeftButton << quint8(Stay);
        QTest::newRow("deleted") << quint8(Deleted) << 8 << Qt::LeftButton << quint8(Deleted);
        QTest::newRow("on the path") << quint8(Stay) << 18 << Qt::LeftButton << quint8(Stay);
        QTest::newRow("right button") << quint8(Stay) << 8 << Qt::RightButton << quint8(Stay);
    }
    void iconClickChangesOnlyThatRow() {
        QFETCH(quint8, mark);
        QFETCH(quint8, after);
        AddBlock(3, 0xFFFFFF, mark);
        Fill();
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, x);
        QSignalSpy changed(Model(), &QAbstractItemModel::dataChanged);
        QTest::mouseClick(NameBox->viewport(), button, {}, RowPoint(NameBox, 1, x));
        QCOMPARE(Mark(1), after);
        QCOMPARE(Mark(0), mark);
        QCOMPARE(Mark(2), mark);
        QCOMPARE(changed.size(), after == mark ? 0 : 1);
        if (after != mark)
            QCOMPARE(changed[0][0].toModelIndex().row() + changed[0][1].toModelIndex().row(), 2);
    }

    void spaceAndDeleteKeysMark_data() {
        QTest::addColumn<quint8>("mark");
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QString>("pane");
        QTest::addColumn<quint8>("after");
        const Qt::KeyboardModifiers none;
        QTest::newRow("space") << quint8(Stay) << int(Qt::Key_Space) << none << "NameBox"
                               << quint8(Delete);
        QTest::newRow("delete on deleted")
            << quint8(Deleted) << int(Qt::Key_Delete) << none << "NameBox" << quint8(Delete);
        QTest::newRow("delete on virtual")
            << quint8(Virtual) << int(Qt::Key_Delete) << none << "NameBox" << quint8(Delete);
        QTest::newRow("shift delete")
            << quint8(Stay) << int(Qt::Key_Delete) << Qt::KeyboardModifiers(Qt::ShiftModifier)
            << "NameBox" << quint8(Stay);
        QTest::newRow("in the info pane")
            << quint8(Stay) << int(Qt::Key_Delete) << none << "InfoBox" << quint8(Stay);
    }
    void spaceAndDeleteKeysMark() {
        QFETCH(quint8, mark);
        AddBlock(3, 0xFFFFFF, mark);
        Fill();
        NameBox->setCurrentIndex(Model()->index(2, 0));
        QFETCH(QString, pane);
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        auto *target = List->findChild<QListView *>(pane);
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key), modifiers);
        QTEST(Mark(2), "after");
        QCOMPARE(Mark(1), mark);
        QCOMPARE(List->SelectedRow(), 2); // Space selects nothing else
    }

    void clicksSelectTheRowInBothPanes() {
        AddBlocks(3, 2);
        Fill();
        QSignalSpy selected(List, &ResultList::RowSelected);
        QTest::mouseClick(NameBox->viewport(), Qt::LeftButton, {}, RowPoint(NameBox, 1, 60));
        QTest::mouseClick(NameBox->viewport(), Qt::LeftButton, {}, RowPoint(NameBox, 1, 60));
        QTest::mouseClick(InfoBox->viewport(), Qt::LeftButton, {}, RowPoint(InfoBox, 3, 20));
        QCOMPARE(List->SelectedRow(), 3);
        QVERIFY(NameBox->selectionModel()->isRowSelected(3));
        // Every click tells the preview, also one on the row selected already.
        QCOMPARE(selected.size(), 3);
        QCOMPARE(selected[2][0].toInt(), 3);
        QVERIFY(Mark(1) == Stay && Mark(3) == Stay);
    }

    void rightClickSelectsOrClearsForThePopup() {
        AddBlocks(2, 2);
        Fill();
        QSignalSpy selected(List, &ResultList::RowSelected);
        QTest::mousePress(InfoBox->viewport(), Qt::RightButton, {}, RowPoint(InfoBox, 2, 20));
        QCOMPARE(List->SelectedRow(), 2);
        QCOMPARE(selected.size(), 1);
        QTest::mousePress(NameBox->viewport(), Qt::RightButton, {},
                          QPoint(60, NameBox->viewport()->height() - 3));
        QCOMPARE(List->SelectedRow(), -1);
        QCOMPARE(selected.size(), 2);
        QCOMPARE(selected[1][0].toInt(), -1);
        List->findChild<QAction *>(QStringLiteral("OpenFile1"))->trigger();
        List->findChild<QAction *>(QStringLiteral("ExploreFolder1"))->trigger();
        QVERIFY(Opened.isEmpty() && Shown.isEmpty());
    }

    void openAndShowTheSelectedFile() {
        AddBlocks(2, 2);
        Fill();
        QTest::mouseDClick(NameBox->viewport(), Qt::LeftButton, {}, RowPoint(NameBox, 3, 80));
        QCOMPARE(Opened, QStringList{u"/data/folder 2/file 1.txt"_s});
        QTest::mouseDClick(InfoBox->viewport(), Qt::LeftButton, {}, RowPoint(InfoBox, 0, 20));
        QCOMPARE(Opened.size(), 2);
        QCOMPARE(List->SelectedRow(), 0);
        List->findChild<QAction *>(QStringLiteral("ExploreFolder1"))->trigger();
        QCOMPARE(Shown, QStringList{u"/data/folder 0/file 0.txt"_s});
        // A double click on the icon changes the mark twice and opens nothing.
        QTest::mouseDClick(NameBox->viewport(), Qt::LeftButton, {}, RowPoint(NameBox, 1, 8));
        QCOMPARE(Opened.size(), 2);
    }

    void wheelScrollsTwoRowsPerNotch() {
        AddBlocks(20, 3);
        Fill();
        ScrollBar->setValue(10);
        Wheel(NameBox->viewport(), 120);
        VerifyPanesTogether(8);
        Wheel(InfoBox->viewport(), -120);
        VerifyPanesTogether(10);
        Wheel(ScrollBar, -240);
        VerifyPanesTogether(14);
        // A fine wheel scrolls once its turns add up to a notch.
        Wheel(NameBox->viewport(), 60);
        VerifyPanesTogether(14);
        Wheel(NameBox->viewport(), 60);
        VerifyPanesTogether(12);
        // The main window passes on the wheel over the buttons below the list.
        const QPoint below = List->mapToGlobal(QPoint(10, List->height() + 20));
        QWheelEvent under(QPointF(), below, {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QVERIFY(List->WheelFromWindow(&under));
        VerifyPanesTogether(10);
        const QPoint above = List->mapToGlobal(QPoint(10, -5));
        QWheelEvent over(QPointF(), above, {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                         Qt::NoScrollPhase, false);
        QVERIFY(!List->WheelFromWindow(&over));
        ScrollBar->setValue(1);
        List->ScrollByWheel(120);
        VerifyPanesTogether(0);
    }

    void keysAndTheBarKeepThePanesTogether() {
        AddBlocks(20, 3);
        Fill();
        NameBox->setFocus();
        NameBox->setCurrentIndex(Model()->index(0, 0));
        QTest::keyClick(NameBox, Qt::Key_End);
        QCOMPARE(List->SelectedRow(), 59);
        const int visible = NameBox->viewport()->height() / RowHeight;
        QCOMPARE(ScrollBar->maximum(), 60 - visible);
        VerifyPanesTogether(ScrollBar->maximum());
        InfoBox->setFocus();
        QTest::keyClick(InfoBox, Qt::Key_Home);
        VerifyPanesTogether(0);
        QTest::keyClick(InfoBox, Qt::Key_PageDown);
        QTest::keyClick(InfoBox, Qt::Key_PageDown);
        QVERIFY(ScrollBar->value() > 0);
        VerifyPanesTogether(ScrollBar->value());
        // Dragging the bar, then a page by its track.
        ScrollBar->setSliderDown(true);
        ScrollBar->setSliderPosition(31);
        VerifyPanesTogether(31);
        ScrollBar->setSliderPosition(2);
        ScrollBar->setSliderDown(false);
        ScrollBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        VerifyPanesTogether(2 + visible);
    }

    void pathsAreMeasuredInTheListsFont() {
        const QFontMetrics metrics = NameBox->fontMetrics();
        const QString plain = u"Bilder/2019/Urlaub/IMG_0001 (Kopie).jpg"_s;
        QVERIFY(qAbs(List->TextWidth(plain) - metrics.horizontalAdvance(plain)) <= 3);
        // Characters that combine are laid out with their neighbours.
        const QString combined = u"Cafe\u0301/Me\u0301nu.txt"_s;
        QCOMPARE(List->TextWidth(combined), metrics.horizontalAdvance(combined));
    }

    void everyTextHasItsTranslation() {
        const QByteArray table =
            TestSupport::ReadWholeFile(DUPLISCAN_SOURCE_DIR "/lang/Dupliscan.lng.txt");
        LoadPhraseText(PhraseTable(), QString::fromUtf8(table), true);
        InstallWidgetLanguageSupport();
        AddBlock(1, 0xFFFFFF, Virtual);
        Fill();
        QVERIFY(SetLanguage(u"DE"_s, u"EN"_s, u"EN"_s));
        QStringList captions;
        for (const QAction *action : List->ResultPopup()->actions())
            captions << action->text();
        QCOMPARE(captions.join('|'),
                 u"Open/start file|Show folder in file manager|Copy file name||Keep only this file "
                 "(in this block)|Remove selections from here (rest of the list)||Mark files in "
                 "this folder for deletion|Do not delete files in this folder||Copy list to "
                 "clipboard|Export search result as ..."_s);
        QCOMPARE(Data(0, ResultModel::DateRole).toString(), u"virtual"_s);
        List->FillResultList();
        QCOMPARE(NameBox->accessibleName(), u"Search result"_s);
    }

    void popupKeysAndWhatIsEnabled() {
        QStringList keys;
        int enabled = 0;
        for (const QAction *action : List->ResultPopup()->actions()) {
            keys << action->shortcut().toString();
            enabled += action->isEnabled() && !action->isSeparator();
        }
        QCOMPARE(keys.join(' ').simplified(), u"Ctrl+O Ctrl+G Ctrl+C Ctrl+S"_s);
        QCOMPARE(enabled, 2); // opening and showing the file
    }

    void popupShortcutsWorkInThePanes() {
        AddBlocks(1, 2);
        Fill();
        Window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Window));
        auto *copy = List->findChild<QAction *>(QStringLiteral("CopyFilename1"));
        copy->setEnabled(true);
        QSignalSpy copied(copy, &QAction::triggered);
        NameBox->setFocus();
        NameBox->setCurrentIndex(Model()->index(1, 0));
        QTest::keyClick(NameBox, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(copied.size(), 1);
        QTest::keyClick(InfoBox, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(Opened, QStringList{u"/data/folder 0/file 1.txt"_s});
        // Ctrl+S in the list is the File menu's export, not an ambiguous key.
        auto *popupSave = List->findChild<QAction *>(QStringLiteral("SaveAs2"));
        popupSave->setEnabled(true);
        QAction menuSave;
        menuSave.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
        Window->addAction(&menuSave);
        QSignalSpy menuSaved(&menuSave, &QAction::triggered);
        QSignalSpy popupSaved(popupSave, &QAction::triggered);
        QTest::keyClick(NameBox, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(menuSaved.size() + 10 * popupSaved.size(), 1);
    }
};

QTEST_MAIN(TestResultList)
#include "TestResultList.moc"
