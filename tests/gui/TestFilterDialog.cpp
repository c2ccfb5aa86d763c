// The filter dialog, the about window and the help page, driven offscreen the
// way a person uses them.

#include "compare/FilterUnit.h"
#include "compare/ImageDecoder.h"
#include "gui/AboutWindow.h"
#include "gui/FilterDialog.h"
#include "gui/HelpPage.h"
#include "lang/IniDatei.h"
#include "lang/MsgDlgUnit.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/widgets/LangWidgets.h"

#include <QAccessible>
#include <QTemporaryDir>
#include <QTest>
#include <QtWidgets>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
template <typename T = QWidget> T *Control(QWidget *window, const char *name) {
    T *control = window->findChild<T *>(QString::fromLatin1(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}

// Replaces a field's text the way typing does, so its change handler runs.
void Type(QWidget *dialog, const char *name, const QString &text) {
    auto *combo = dialog->findChild<QComboBox *>(QString::fromLatin1(name));
    QLineEdit *edit = combo ? combo->lineEdit() : Control<QLineEdit>(dialog, name);
    edit->clear();
    QTest::keyClicks(edit, text);
}

void Click(QWidget *dialog, const char *name) {
    QTest::mouseClick(Control<QAbstractButton>(dialog, name), Qt::LeftButton);
}

// Opens the dialog (or the about window), lets `steps` work in it while it is
// shown modally, then presses the button of that name.
template <typename Open>
auto RunModal(Open open, const std::function<void(QDialog *)> &steps, const char *button) {
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        steps(dialog);
        Click(dialog, button);
        if (dialog->isVisible()) // a disabled button must not hang the test
            dialog->done(-1);
    });
    return open();
}

bool RunFilterDialog(QWidget *parent, const std::function<void(QDialog *)> &steps,
                     const char *button) {
    return RunModal([parent] { return ShowFilterDialog(parent); }, steps, button);
}

// The whole filter state in one line: lists, sizes, image mode.
QString StateOf(const FilterState &f) {
    return QStringList{f.IncludeText, f.IncludeList, f.ExcludeText, f.ExcludeList, f.NeverList}
               .join('|'_L1) +
           QString::asprintf("|%d|%d|%d", f.MinSizeKB, f.MaxSizeKB, int(f.ImageMode));
}
} // namespace

class TestFilterDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> MainWindow;
    QTemporaryDir Dir;
    QStringList Errors;

private slots:
    void initTestCase() {
        QFile table(DUPLISCAN_SOURCE_DIR "/lang/Dupliscan.lng.txt");
        QVERIFY(table.open(QIODevice::ReadOnly));
        LoadPhraseText(PhraseTable(), QString::fromUtf8(table.readAll()), true);
        InstallWidgetLanguageSupport();
        SetMessageBoxHandler([this](const QString &text, TMsgDlgType, int) {
            Errors << text;
            return int(mrOk);
        });
    }

    void init() {
        ResetFilter();
        QVERIFY(SetProgramLanguage("DE"_L1));
        Errors.clear();
        SetSettingsPath(Dir.filePath("dupliscan.ini"_L1));
        MainWindow = std::make_unique<QWidget>(); // a fresh owner: a fresh dialog
    }

    void missingImageReadersClearOnlyTheImageFlag() {
        // Qt finds its image plugins through the library paths; without them
        // TIFF cannot be read. First of all tests, before anything loaded them.
        const QStringList paths = QCoreApplication::libraryPaths();
        QTemporaryDir empty;
        QCoreApplication::setLibraryPaths({empty.path()});
        ResetImageDecoder();
        const bool hidden = !LoadGdiplusLibrary();
        if (hidden)
            RunFilterDialog(
                MainWindow.get(),
                [](QDialog *d) {
                    Click(d, "ImagesCheck");
                    Type(d, "minKbEd", "20"_L1);
                },
                "OkBtn");
        QCoreApplication::setLibraryPaths(paths);
        ResetImageDecoder();
        QVERIFY(LoadGdiplusLibrary());
        if (!hidden)
            QSKIP("the image plugins were loaded before the test could hide them");
        QVERIFY(!Filter().ImageMode);
        QCOMPARE(Filter().MinSizeKB, 20); // the rest of the input is taken
        QCOMPARE(Filter().IncludeText, ImagePreset);
        QCOMPARE(Errors.size(), 1);
        QVERIFY(Errors[0].contains("qt6-image-formats-plugins"_L1) &&
                !Errors[0].contains("GDI"_L1));
    }

    void okWaitsForAChangeAndCancelKeepsTheFilter_data() {
        QTest::addColumn<QString>("control");
        for (const char *name : {"maxKbEd", "PositivEd", "NeverEd"})
            QTest::newRow(name) << QString::fromLatin1(name);
        QTest::newRow("ImagesCheck") << QString();
    }

    void okWaitsForAChangeAndCancelKeepsTheFilter() {
        QFETCH(QString, control);
        ApplyFilterSettings({"doc pdf"_L1, "tmp"_L1, "exe"_L1, 10, 500});
        const QString start = StateOf(Filter());
        bool before = true, after = false;
        const bool accepted = RunFilterDialog(
            MainWindow.get(),
            [&](QDialog *d) {
                before = Control<QPushButton>(d, "OkBtn")->isEnabled();
                if (control.isEmpty())
                    Click(d, "ImagesCheck");
                else
                    Type(d, control.toLatin1().constData(), QString());
                after = Control<QPushButton>(d, "OkBtn")->isEnabled();
            },
            "EscBtn");
        QVERIFY(!before && after);
        QVERIFY(!accepted);
        QCOMPARE(StateOf(Filter()), start);
    }

    // The preset itself is TestFilterUnit's; here the field shows it.
    void imagesCheckTouchesOnlyThePreset_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("unchecked");
        QTest::newRow("empty") << "" << ImagePreset << "";
        QTest::newRow("own list") << "raw cr2"
                                  << "raw cr2"
                                  << "raw cr2";
        const char *capitals = "JPG JPEG JPE GIF BMP TIF TIFF PNG";
        QTest::newRow("the preset in capitals") << capitals << capitals << "";
    }

    void imagesCheckTouchesOnlyThePreset() {
        QFETCH(QString, typed);
        QFETCH(QString, checked);
        QFETCH(QString, unchecked);
        QStringList shown;
        RunFilterDialog(
            MainWindow.get(),
            [&](QDialog *d) {
                Type(d, "PositivEd", typed);
                for (int k = 0; k < 2; ++k) {
                    Click(d, "ImagesCheck");
                    shown << Control<QComboBox>(d, "PositivEd")->currentText();
                }
            },
            "EscBtn");
        QCOMPARE(shown, (QStringList{checked, unchecked}));
    }

    void includeListGreysTheExcludeList() {
        RunFilterDialog(
            MainWindow.get(),
            [](QDialog *d) {
                auto *exclude = Control<QLineEdit>(d, "NegativEd");
                const QColor panel = exclude->parentWidget()->palette().color(QPalette::Window);
                for (const QString include : {"jpg"_L1, "  "_L1}) {
                    Type(d, "PositivEd", include);
                    const bool greyed = !include.trimmed().isEmpty();
                    QCOMPARE(Control(d, "NegLabel")->isEnabled(), !greyed);
                    QCOMPARE(exclude->palette().color(QPalette::Base) == panel, greyed);
                    QVERIFY(exclude->isEnabled() && !exclude->isReadOnly());
                }
            },
            "EscBtn");
    }

    void okWritesTheFilter_data() {
        QTest::addColumn<QStringList>("typed"); // min, max, include, exclude, never
        QTest::addColumn<bool>("images");
        QTest::addColumn<QString>("state");
        QTest::newRow("include wins over exclude")
            << QStringList{"10", "", " jpg png ", "tmp", "exe dll"} << false
            << "jpg png| JPG PNG |tmp|| EXE DLL |10|2097151|0";
        QTest::newRow("exclude alone, unusable sizes")
            << QStringList{"-3", "abc", "", " tmp bak ", ""} << false
            << "||tmp bak| TMP BAK |  |0|2097151|0";
        QTest::newRow("images with a list of one's own")
            << QStringList{"0", "2048", "raw", "", "  exe  "} << true
            << "raw| RAW ||| EXE |0|2048|1";
    }

    void okWritesTheFilter() {
        QFETCH(QStringList, typed);
        QFETCH(bool, images);
        QFETCH(QString, state);
        const bool accepted = RunFilterDialog(
            MainWindow.get(),
            [&](QDialog *d) {
                if (images)
                    Click(d, "ImagesCheck");
                int k = 0;
                for (const char *name : {"minKbEd", "maxKbEd", "PositivEd", "NegativEd", "NeverEd"})
                    Type(d, name, typed[k++]);
            },
            "OkBtn");
        QVERIFY(accepted);
        QCOMPARE(StateOf(Filter()), state);
        QVERIFY(Errors.isEmpty());
    }

    void reopeningShowsTheStateNotTheCancelledEdits() {
        ApplyFilterSettings({QString(), "tmp"_L1, "exe lnk"_L1, 10, 500});
        Filter().ImageMode = true;
        QDialog *first = nullptr;
        QStringList shown;
        const auto read = [&](QDialog *d) {
            shown.clear();
            for (const char *name : {"minKbEd", "maxKbEd", "NegativEd", "NeverEd"})
                shown << Control<QLineEdit>(d, name)->text();
            shown << Control<QComboBox>(d, "PositivEd")->currentText()
                  << Control<QLabel>(d, "minMbLabel")->text()
                  << QString::number(Control<QCheckBox>(d, "ImagesCheck")->isChecked())
                  << QString::number(Control(d, "OkBtn")->isEnabled());
        };
        const auto edit = [&](QDialog *d) {
            first = d;
            Type(d, "NeverEd", "bat"_L1);
            Type(d, "minKbEd", "99"_L1);
        };
        RunFilterDialog(MainWindow.get(), edit, "EscBtn");
        RunFilterDialog(
            MainWindow.get(),
            [&](QDialog *d) {
                QCOMPARE(d, first); // made once, then kept
                read(d);
            },
            "EscBtn");
        // Image mode without a list of one's own offers the picture types.
        QCOMPARE(shown, (QStringList{"10", "500", "tmp", "exe lnk", ImagePreset,
                                     SizeLimitLabel(10, SizeLimit::Minimum), "1", "0"}));
        ResetFilter();
        RunFilterDialog(MainWindow.get(), read, "EscBtn");
        QCOMPARE(shown, (QStringList{"", "", "", DefaultNeverList, "",
                                     SizeLimitLabel(0, SizeLimit::Minimum), "0", "0"}));
    }

    void everyControlHasANameAndAKey_data() {
        QTest::addColumn<QString>("language");
        for (const char *code : {"DE", "EN", "FR"})
            QTest::newRow(code) << QString::fromLatin1(code);
    }

    void everyControlHasANameAndAKey() {
        QFETCH(QString, language);
        QVERIFY(SetProgramLanguage(language));
        QStringList problems;
        RunFilterDialog(
            MainWindow.get(),
            [&](QDialog *d) {
                for (const char *name : {"minKbEd", "maxKbEd", "PositivEd", "ImagesCheck",
                                         "NegativEd", "NeverEd", "OkBtn", "EscBtn"}) {
                    QWidget *control = Control(d, name);
                    if (!(control->focusPolicy() & Qt::TabFocus))
                        problems << "no Tab: "_L1 + QLatin1String(name);
                    if (QAccessible::queryAccessibleInterface(control)
                            ->text(QAccessible::Name)
                            .trimmed()
                            .isEmpty())
                        problems << "no accessible name: "_L1 + QLatin1String(name);
                }
                // Alt+letter: every label of a field and every button has its own.
                QSet<QKeySequence> keys;
                for (QWidget *each : d->findChildren<QWidget *>()) {
                    auto *label = qobject_cast<QLabel *>(each);
                    auto *button = qobject_cast<QAbstractButton *>(each);
                    if (!button && !(label && label->buddy()))
                        continue;
                    const QKeySequence key =
                        QKeySequence::mnemonic(button ? button->text() : label->text());
                    if (key.isEmpty() || keys.contains(key))
                        problems << "no key of its own: "_L1 + each->objectName();
                    keys.insert(key);
                }
            },
            "EscBtn");
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n'_L1)));
    }

    void aboutNamesVersionQtLibraryAndSettingsFolder() {
        QVERIFY(SetProgramLanguage("EN"_L1));
        QStringList texts;
        AboutWindow *first = nullptr;
        for (int run = 0; run < 2; ++run)
            RunModal(
                [&] {
                    AboutWindow::ShowAbout(MainWindow.get());
                    return 0;
                },
                [&](QDialog *about) {
                    QVERIFY(!first || first == about); // made once, then kept
                    first = static_cast<AboutWindow *>(about);
                    texts = QStringList{about->windowTitle()};
                    for (const char *name :
                         {"VersionLabel", "LibrariesLabel", "SettingsLabel", "HelpLink"})
                        texts << Control<QLabel>(about, name)->text();
                },
                "CloseBtn");
        QCOMPARE(texts.value(0), "About Dupliscan"_L1);
        QCOMPARE(texts.value(1), "Version "_L1 + QLatin1String(DUPLISCAN_VERSION));
        QVERIFY2(texts.value(2).contains("Qt "_L1 + QLatin1String(qVersion())) &&
                     texts.value(2).contains("C++ standard library: "_L1 + StandardLibraryName()),
                 qPrintable(texts.value(2)));
        QVERIFY(texts.value(3).contains(QDir::toNativeSeparators(Dir.path()).toHtmlEscaped()));
        QVERIFY(texts.value(4).contains(HelpPageUrl().toString(QUrl::FullyEncoded)));
    }

    void helpPageIsFoundInstalledOrInTheSources() {
        const QUrl url = HelpPageUrl("delete"_L1);
        QVERIFY2(url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile(), qPrintable(url.url()));
        QCOMPARE(url.fragment(), "delete"_L1);
        QFile page(url.toLocalFile());
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        // The sections the program links to, and nothing fetched from elsewhere.
        for (const char *id :
             {"start", "filter", "results", "marks", "delete", "settings", "command-line"})
            QVERIFY2(html.contains("id=\"" + QByteArray(id) + '"'), id);
        QVERIFY(!html.contains("http:") && !html.contains("https:"));

        QTemporaryDir prefix;
        const QString program = prefix.filePath("bin"_L1);
        QVERIFY(QDir().mkpath(program));
        QCOMPARE(InstalledHelpPage(program), QString());
        QVERIFY(QDir().mkpath(prefix.filePath("share/doc/dupliscan/help"_L1)));
        QFile installed(prefix.filePath("share/doc/dupliscan/help/index.html"_L1));
        QVERIFY(installed.open(QIODevice::WriteOnly));
        QCOMPARE(InstalledHelpPage(program), installed.fileName());
    }
};

QTEST_MAIN(TestFilterDialog)
#include "TestFilterDialog.moc"
