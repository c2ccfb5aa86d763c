// The filter dialog, the about window and the help page, driven offscreen the
// way a person uses them.

#include "compare/FilterUnit.h"
#include "compare/ImageDecoder.h"
#include "gui/AboutWindow.h"
#include "gui/Accelerators.h"
#include "gui/FilterDialog.h"
#include "gui/HelpPage.h"
#include "lang/IniDatei.h"
#include "lang/MsgDlgUnit.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/widgets/LangWidgets.h"

#include <QAccessible>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtWidgets>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
template <typename T> T *Control(QWidget *window, const char *name) {
    T *control = window->findChild<T *>(QString::fromLatin1(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}

QPushButton *OkBtn(QWidget *d) {
    return Control<QPushButton>(d, "OkBtn");
}

// Sets a text field the way typing does: the field's change signal fires.
void Type(QWidget *dialog, const char *name, const QString &text) {
    if (auto *combo = dialog->findChild<QComboBox *>(QString::fromLatin1(name))) {
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), text);
        if (text.isEmpty())
            combo->lineEdit()->clear();
        return;
    }
    auto *edit = Control<QLineEdit>(dialog, name);
    edit->clear();
    QTest::keyClicks(edit, text);
}

void Click(QWidget *dialog, const char *name) {
    QTest::mouseClick(Control<QAbstractButton>(dialog, name), Qt::LeftButton);
}

// Opens the dialog, lets `steps` work in it while it is shown modally, then
// closes it with the button of that name (one never reached fails the test).
bool RunFilterDialog(QWidget *parent, const std::function<void(QDialog *)> &steps,
                     const char *button) {
    // Whatever goes wrong inside, the dialog closes and the test goes on.
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    safety.start(10000);
    bool reached = false;
    QTimer::singleShot(0, parent, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog && dialog->objectName() == "FilterForm"_L1);
        steps(dialog);
        reached = true;
        if (dialog->isVisible())
            Click(dialog, button);
        // A button that did not close it (a disabled OK) must not hang the test.
        if (dialog->isVisible())
            dialog->done(-1);
    });
    const bool accepted = ShowFilterDialog(parent);
    if (!reached)
        qWarning("the dialog was not reached");
    return accepted;
}

struct FilterSnapshot {
    FilterState State;
    bool operator==(const FilterSnapshot &o) const {
        const FilterState &a = State, &b = o.State;
        return a.IncludeText == b.IncludeText && a.IncludeList == b.IncludeList &&
               a.ExcludeText == b.ExcludeText && a.ExcludeList == b.ExcludeList &&
               a.NeverList == b.NeverList && a.MinSizeKB == b.MinSizeKB &&
               a.MaxSizeKB == b.MaxSizeKB && a.ImageMode == b.ImageMode;
    }
};

QString Accelerator(const QString &text) {
    const qsizetype amp = text.indexOf(QLatin1Char('&'));
    return amp >= 0 && amp + 1 < text.size() ? text.mid(amp + 1, 1).toLower() : QString();
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
    }

    void init() {
        ResetFilter();
        QVERIFY(SetProgramLanguage("DE"_L1));
        Errors.clear();
        SetMessageBoxHandler([this](const QString &text, TMsgDlgType, int) {
            Errors << text;
            return int(mrOk);
        });
        SetSettingsPath(Dir.filePath("dupliscan.ini"_L1));
        MainWindow = std::make_unique<QWidget>();
        MainWindow->show();
    }

    void cleanup() {
        MainWindow.reset();
        SetMessageBoxHandler(nullptr);
    }

    void missingImageReadersClearOnlyTheImageFlag() {
        // Qt finds its image plugins through the library paths; without them
        // TIFF (at least) cannot be read. First of all tests, before anything
        // has loaded the plugins.
        const QStringList paths = QCoreApplication::libraryPaths();
        QTemporaryDir empty;
        QCoreApplication::setLibraryPaths({empty.path()});
        ResetImageDecoder();
        const bool readersThere = LoadGdiplusLibrary();
        if (!readersThere) {
            const bool accepted = RunFilterDialog(
                MainWindow.get(),
                [](QDialog *d) {
                    Click(d, "ImagesCheck");
                    Type(d, "minKbEd", "20"_L1);
                },
                "OkBtn");
            QVERIFY(accepted);
        }
        QCoreApplication::setLibraryPaths(paths);
        ResetImageDecoder();
        QVERIFY(LoadGdiplusLibrary()); // the later tests read pictures again
        if (readersThere)
            QSKIP("the image plugins were loaded before the test could hide them");
        QVERIFY(!Filter().ImageMode);
        QCOMPARE(Filter().MinSizeKB, 20);
        QCOMPARE(Filter().IncludeText, ImagePreset);
        QCOMPARE(Errors.size(), 1);
        QVERIFY(Errors[0].contains("qt6-image-formats-plugins"_L1));
    }

    void okWaitsForAChange_data() {
        QTest::addColumn<QString>("control");
        for (const char *name : {"minKbEd", "maxKbEd", "PositivEd", "NegativEd", "NeverEd"})
            QTest::newRow(name) << QString::fromLatin1(name);
        QTest::newRow("ImagesCheck") << QString();
    }

    void okWaitsForAChange() {
        QFETCH(QString, control);
        bool before = true, after = false;
        RunFilterDialog(
            MainWindow.get(),
            [&](QDialog *d) {
                before = OkBtn(d)->isEnabled();
                if (control.isEmpty())
                    Click(d, "ImagesCheck");
                else
                    Type(d, control.toLatin1().constData(), "7"_L1);
                after = OkBtn(d)->isEnabled();
            },
            "EscBtn");
        QVERIFY(!before);
        QVERIFY(after);
    }

    void cancelLeavesTheFilterAsItWas() {
        ApplyFilterSettings({"doc pdf"_L1, "tmp"_L1, "exe"_L1, 10, 500});
        Filter().ImageMode = false;
        const FilterSnapshot start{Filter()};
        for (const char *button : {"EscBtn", ""}) {
            const bool accepted = RunFilterDialog(
                MainWindow.get(),
                [&](QDialog *d) {
                    Type(d, "minKbEd", "1"_L1);
                    Type(d, "maxKbEd", "2"_L1);
                    Type(d, "PositivEd", QString());
                    Click(d, "ImagesCheck");
                    Type(d, "NegativEd", "bak"_L1);
                    Type(d, "NeverEd", QString());
                    if (!*button)
                        QTest::keyClick(d, Qt::Key_Escape);
                },
                button);
            QVERIFY(!accepted);
            QVERIFY(FilterSnapshot{Filter()} == start);
        }
    }

    void imagesCheckTouchesOnlyThePreset_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("unchecked");
        const QString preset = ImagePreset;
        QTest::newRow("empty") << "" << preset << "";
        QTest::newRow("own list") << "raw cr2"
                                  << "raw cr2"
                                  << "raw cr2";
        QTest::newRow("one picture type") << "jpg"
                                          << "jpg"
                                          << "jpg";
        QTest::newRow("the preset typed in capitals") << "JPG JPEG JPE GIF BMP TIF TIFF PNG"
                                                      << "JPG JPEG JPE GIF BMP TIF TIFF PNG"
                                                      << "";
    }

    void imagesCheckTouchesOnlyThePreset() {
        QFETCH(QString, typed);
        QFETCH(QString, checked);
        QFETCH(QString, unchecked);
        QString afterCheck, afterUncheck;
        RunFilterDialog(
            MainWindow.get(),
            [&](QDialog *d) {
                auto *include = Control<QComboBox>(d, "PositivEd");
                Type(d, "PositivEd", typed);
                Click(d, "ImagesCheck");
                afterCheck = include->currentText();
                Click(d, "ImagesCheck");
                afterUncheck = include->currentText();
            },
            "EscBtn");
        QCOMPARE(afterCheck, checked);
        QCOMPARE(afterUncheck, unchecked);
    }

    void includeListGreysTheExcludeList() {
        RunFilterDialog(
            MainWindow.get(),
            [](QDialog *d) {
                auto *label = Control<QLabel>(d, "NegLabel");
                auto *exclude = Control<QLineEdit>(d, "NegativEd");
                const QColor panel = exclude->parentWidget()->palette().color(QPalette::Window);
                QVERIFY(label->isEnabled());
                QVERIFY(exclude->palette().color(QPalette::Base) != panel);
                Type(d, "PositivEd", "jpg"_L1);
                QVERIFY(!label->isEnabled());
                QCOMPARE(exclude->palette().color(QPalette::Base), panel);
                QVERIFY(exclude->isEnabled() && !exclude->isReadOnly());
                Type(d, "PositivEd", "  "_L1);
                QVERIFY(label->isEnabled());
                QVERIFY(exclude->palette().color(QPalette::Base) != panel);
            },
            "EscBtn");
    }

    void okWritesTheFilter_data() {
        QTest::addColumn<QStringList>("typed"); // min, max, include, exclude, never
        QTest::addColumn<bool>("images");
        QTest::addColumn<int>("minKB");
        QTest::addColumn<int>("maxKB");
        QTest::addColumn<QStringList>("lists"); // the five list fields of the state
        const int none = NoMaxSizeKB;
        QTest::newRow("include wins over exclude")
            << QStringList{"10", "", " jpg png ", "tmp", "exe dll"} << false << 10 << none
            << QStringList{"jpg png", " JPG PNG ", "tmp", "", " EXE DLL "};
        QTest::newRow("exclude alone, unusable sizes")
            << QStringList{"-3", "abc", "", " tmp bak ", ""} << false << 0 << none
            << QStringList{"", "", "tmp bak", " TMP BAK ", "  "};
        QTest::newRow("images with an own list")
            << QStringList{"0", "2048", "raw", "", "  exe  "} << true << 0 << 2048
            << QStringList{"raw", " RAW ", "", "", " EXE "};
    }

    void okWritesTheFilter() {
        QFETCH(QStringList, typed);
        QFETCH(bool, images);
        QFETCH(int, minKB);
        QFETCH(int, maxKB);
        QFETCH(QStringList, lists);
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
        const FilterState &f = Filter();
        QCOMPARE(f.MinSizeKB, minKB);
        QCOMPARE(f.MaxSizeKB, maxKB);
        QCOMPARE(
            (QStringList{f.IncludeText, f.IncludeList, f.ExcludeText, f.ExcludeList, f.NeverList}),
            lists);
        QCOMPARE(f.ImageMode, images);
        QVERIFY(Errors.isEmpty());
    }

    void reopeningShowsTheState() {
        ApplyFilterSettings({QString(), "tmp"_L1, "exe lnk"_L1, 10, 500});
        Filter().ImageMode = true;
        QDialog *first = nullptr;
        // Edits of a cancelled dialog do not come back.
        RunFilterDialog(
            MainWindow.get(),
            [&](QDialog *d) {
                first = d;
                Type(d, "NeverEd", "bat"_L1);
                Type(d, "minKbEd", "99"_L1);
            },
            "EscBtn");
        QStringList shown;
        bool okEnabled = true, imagesChecked = false;
        RunFilterDialog(
            MainWindow.get(),
            [&](QDialog *d) {
                QCOMPARE(d, first);
                for (const char *name : {"minKbEd", "maxKbEd", "NegativEd", "NeverEd"})
                    shown << Control<QLineEdit>(d, name)->text();
                shown << Control<QComboBox>(d, "PositivEd")->currentText()
                      << Control<QLabel>(d, "minMbLabel")->text();
                imagesChecked = Control<QCheckBox>(d, "ImagesCheck")->isChecked();
                okEnabled = OkBtn(d)->isEnabled();
            },
            "EscBtn");
        // With image mode and no list of its own the dialog offers the picture types.
        QCOMPARE(shown, (QStringList{"10", "500", "tmp", "exe lnk", ImagePreset,
                                     SizeLimitLabel(10, SizeLimit::Minimum)}));
        QVERIFY(imagesChecked);
        QVERIFY(!okEnabled);

        ResetFilter();
        shown.clear();
        RunFilterDialog(
            MainWindow.get(),
            [&](QDialog *d) {
                for (const char *name : {"minKbEd", "maxKbEd", "NegativEd", "NeverEd"})
                    shown << Control<QLineEdit>(d, name)->text();
                shown << Control<QComboBox>(d, "PositivEd")->currentText();
            },
            "EscBtn");
        QCOMPARE(shown, (QStringList{"", "", "", DefaultNeverList, ""}));
    }

    void everyControlHasANameAndAKey_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("DE") << "DE";
        QTest::newRow("EN") << "EN";
        QTest::newRow("ZH") << "ZH";
    }

    void everyControlHasANameAndAKey() {
        QFETCH(QString, language);
        QVERIFY(SetProgramLanguage(language));
        QStringList problems;
        RunFilterDialog(
            MainWindow.get(),
            [&](QDialog *d) {
                if (language == "EN"_L1)
                    QCOMPARE(d->windowTitle(), "Filter files by extension"_L1);
                // Tab from the first field visits every control.
                QSet<QWidget *> visited;
                QWidget *w = Control<QLineEdit>(d, "minKbEd");
                for (int k = 0; k < 40; ++k, w = w->nextInFocusChain())
                    if (w->focusPolicy() & Qt::TabFocus)
                        visited.insert(w->focusProxy() ? w->focusProxy() : w);
                QSet<QString> keys;
                for (const char *name : {"minKbEd", "maxKbEd", "PositivEd", "ImagesCheck",
                                         "NegativEd", "NeverEd", "OkBtn", "EscBtn"}) {
                    QWidget *control = Control<QWidget>(d, name);
                    if (!visited.contains(control) &&
                        !(qobject_cast<QComboBox *>(control) &&
                          visited.contains(static_cast<QComboBox *>(control)->lineEdit())))
                        problems << "not reached by Tab: "_L1 + QLatin1String(name);
                    const QString accessible =
                        QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
                    if (accessible.trimmed().isEmpty())
                        problems << "no accessible name: "_L1 + QLatin1String(name);
                }
                // Alt+letter: no two captions share one (a script without
                // cases has none to give).
                for (QWidget *each : d->findChildren<QWidget *>()) {
                    auto *label = qobject_cast<QLabel *>(each);
                    auto *button = qobject_cast<QAbstractButton *>(each);
                    if (!button && !(label && label->buddy()))
                        continue;
                    const QString key = Accelerator(button ? button->text() : label->text());
                    if (key.isEmpty() && language != "ZH"_L1 && each->objectName() != "OkBtn"_L1)
                        problems << "no key: "_L1 + each->objectName();
                    else if (!key.isEmpty() && keys.contains(key))
                        problems << "key twice: "_L1 + key;
                    keys.insert(key);
                }
            },
            "EscBtn");
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n'_L1)));
    }

    void acceleratorsSkipTakenLettersAndAmpersands_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first free letter") << "Abbrechen"
                                           << "A&bbrechen";
        QTest::newRow("has one") << "&Cancel"
                                 << "&Cancel";
        QTest::newRow("literal ampersand") << "a&&b"
                                           << "a&&&b";
        QTest::newRow("digits and signs are not keys") << "( 1 )"
                                                       << "( 1 )";
        QTest::newRow("no case, no key") << "取消"
                                         << "取消";
    }

    void acceleratorsSkipTakenLettersAndAmpersands() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QSet<QChar> taken{QLatin1Char('a'), QLatin1Char('c')};
        QCOMPARE(WithAccelerator(text, taken), expected);
    }

    void aboutNamesQtTheLibraryAndTheSettingsFolder() {
        QVERIFY(SetProgramLanguage("EN"_L1));
        AboutWindow *first = nullptr;
        QString libraries, settings, help, title;
        for (int run = 0; run < 2; ++run) {
            QTimer::singleShot(0, MainWindow.get(), [&] {
                auto *about = qobject_cast<AboutWindow *>(QApplication::activeModalWidget());
                QVERIFY(about);
                QVERIFY(!first || first == about); // made once, then kept
                first = about;
                title = about->windowTitle();
                libraries = Control<QLabel>(about, "LibrariesLabel")->text();
                settings = Control<QLabel>(about, "SettingsLabel")->text();
                help = Control<QLabel>(about, "HelpLink")->text();
                Click(about, "CloseBtn");
            });
            AboutWindow::ShowAbout(MainWindow.get());
        }
        QCOMPARE(title, "About Dupliscan"_L1);
        QVERIFY2(libraries.contains("Qt "_L1 + QLatin1String(qVersion())), qPrintable(libraries));
        QVERIFY2(libraries.contains("C++ standard library: "_L1 + StandardLibraryName()),
                 qPrintable(libraries));
        QVERIFY2(settings.contains(QDir::toNativeSeparators(Dir.path()).toHtmlEscaped()),
                 qPrintable(settings));
        QVERIFY2(help.contains(HelpPageUrl().toString(QUrl::FullyEncoded)), qPrintable(help));
    }

    void aboutShowsTheVersionInGerman() {
        AboutWindow about(MainWindow.get());
        QCOMPARE(Control<QLabel>(&about, "VersionLabel")->text(),
                 "Version "_L1 + QLatin1String(DUPLISCAN_VERSION));
        QCOMPARE(about.windowTitle(), u"Über Dupliscan"_s);
        QVERIFY(StandardLibraryName().contains(QRegularExpression("\\d"_L1)));
    }

    void helpPageIsFound() {
        const QUrl url = HelpPageUrl("delete"_L1);
        QVERIFY(url.isLocalFile());
        QVERIFY2(QFileInfo(url.toLocalFile()).isFile(), qPrintable(url.toString()));
        QCOMPARE(url.fragment(), "delete"_L1);
        QFile page(url.toLocalFile());
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        // The sections the program links to, and nothing fetched from elsewhere.
        for (const char *id :
             {"start", "filter", "results", "marks", "delete", "settings", "command-line"})
            QVERIFY2(html.contains("id=\"" + QByteArray(id) + "\""), id);
        QVERIFY(!html.contains("http:") && !html.contains("https:"));
    }

    void installedHelpPageIsFoundFromTheProgramFolder() {
        QTemporaryDir prefix;
        QVERIFY(QDir(prefix.path()).mkpath("bin"_L1));
        QCOMPARE(InstalledHelpPage(prefix.filePath("bin"_L1)), QString());
        QVERIFY(QDir(prefix.path()).mkpath("share/doc/dupliscan/help"_L1));
        QFile page(prefix.filePath("share/doc/dupliscan/help/index.html"_L1));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        QCOMPARE(InstalledHelpPage(prefix.filePath("bin"_L1)), page.fileName());
    }
};

QTEST_MAIN(TestFilterDialog)
#include "TestFilterDialog.moc"
