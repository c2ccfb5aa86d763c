#include "gui/LegendWindow.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/widgets/LangWidgets.h"

#include "TestSupport.h"

#include <QLabel>
#include <QMainWindow>
#include <QScreen>

using namespace Qt::StringLiterals;
using namespace TestSupport;

class TestLegendWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetEngine(); }

    void fourDistinctIconsAndNoneForVirtual() {
        QVERIFY(LegendWindow::MarkIcon(Virtual).isNull());
        QList<QImage> seen;
        for (const quint8 mark : {Deleted, Stay, StayNoDelete, Delete}) {
            const QPixmap icon = LegendWindow::MarkIcon(mark);
            QVERIFY(!icon.isNull());
            QCOMPARE(icon.deviceIndependentSize().toSize(), QSize(13, 13));
            const QImage image = icon.toImage();
            QVERIFY2(!seen.contains(image), qPrintable(QString::number(mark)));
            seen << image;
        }
        LegendWindow legend(nullptr);
        QCOMPARE(legend.findChild<QLabel *>(QStringLiteral("CheckDeleteImage"))->pixmap().toImage(),
                 LegendWindow::MarkIcon(Delete).toImage());
    }

    void showsInsideTheMainWindowsCornerAndToggles() {
        QMainWindow main;
        main.setGeometry(QRect(QPoint(40, 30), QSize(720, 500)));
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        LegendWindow legend(&main);
        QVERIFY(legend.windowFlags() & Qt::Tool);
        QVERIFY(legend.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(legend.windowTitle(), u" Legende"_s);
        legend.Legend1Click(&main);
        QVERIFY(legend.isVisible());
        const QRect frame = main.frameGeometry();
        QCOMPARE(legend.frameGeometry().topRight(), QPoint(frame.right() - 60, frame.top() + 60));
        legend.move(0, 0);
        legend.ShowLegend(&main); // shown already: stays where the user put it
        QCOMPARE(legend.pos(), QPoint(0, 0));
        legend.Legend1Click(&main);
        QVERIFY(!legend.isVisible());
    }

    void everyTextHasItsTranslation() {
        const QByteArray table = ReadWholeFile(DUPLISCAN_SOURCE_DIR "/lang/Dupliscan.lng.txt");
        LoadPhraseText(PhraseTable(), QString::fromUtf8(table), true);
        InstallWidgetLanguageSupport();
        LegendWindow legend(nullptr);
        QVERIFY(SetLanguage(u"DE"_s, u"EN"_s, u"EN"_s));
        legend.ShowLegend(nullptr);
        QStringList texts{legend.windowTitle()};
        for (const char *name : {"StayText", "StayNoDeleteText", "DeleteText", "DeletedText"})
            texts << legend.findChild<QLabel *>(QLatin1String(name))->text();
        QCOMPARE(texts.join('|'),
                 u" Legend|File will not be removed (default setting)\nbut selection can be "
                 "changed to a \"delete\" selection with the function »Selection by ...«|File "
                 "will not be removed (manually set)|Delete/move file|File has already been "
                 "deleted"_s);
    }
};

QTEST_MAIN(TestLegendWindow)
#include "TestLegendWindow.moc"
