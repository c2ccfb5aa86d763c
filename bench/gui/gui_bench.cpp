// The speed a person feels in the desktop program. The real main window,
// offscreen, searches a folder through the search button's own handler while a
// 10 ms timer notes how late the window gets to its events; the command line
// then searches the same folder, so that the two can be set side by side.
//
//   gui_bench FOLDER --cli PATH/dupliscan-cli [--runs N] [--verbose]
// --verbose lists every gap over 100 ms with the stage the run was in.

#include "gui/MainWindow.h"
#include "lang/IniDatei.h"
#include "lang/MsgDlgUnit.h"
#include "lang/widgets/LangWidgets.h"
#include "results/Engine.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {
struct WindowRun {
    double Seconds = 0;
    qint64 LongestGapMs = 0;
    int Matches = 0;
    // Gaps over 100 ms, with where the run stood when it let events through again.
    QStringList LongGaps;
};

// The run's stage as the window shows it: title and last status line.
QString StageOf(const MainWindow &window) {
    const auto *memo = window.findChild<QPlainTextEdit *>(QStringLiteral("StatusMemo"));
    const QStringList lines = memo->toPlainText().split(QLatin1Char('\n'));
    return window.windowTitle() + QStringLiteral(" | ") + lines.last();
}

WindowRun SearchInWindow(const QString &folder) {
    MainWindow window;
    window.resize(760, 780);
    window.show();
    QCoreApplication::processEvents();
    window.findChild<QComboBox *>(QStringLiteral("FolderEd"))->setEditText(folder);
    // The command line knows no limit of duplicates; the window is given none either.
    window.findChild<QAction *>(QStringLiteral("noLimit1"))->trigger();

    WindowRun run;
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.elapsed();
        run.LongestGapMs = std::max(run.LongestGapMs, gap);
        if (gap > 100)
            run.LongGaps << QStringLiteral("%1 ms after: %2").arg(gap).arg(StageOf(window));
        sinceTick.start();
    });
    tick.start(10);
    QElapsedTimer total;
    total.start();
    sinceTick.start();
    window.findChild<QPushButton *>(QStringLiteral("FindBtn"))->click();
    run.Seconds = double(total.nsecsElapsed()) / 1e9;
    // Until the search button's handler returns, the window is as late as the
    // last round of events it got.
    if (sinceTick.elapsed() > 100)
        run.LongGaps
            << QStringLiteral("%1 ms at the end: %2").arg(sinceTick.elapsed()).arg(StageOf(window));
    run.LongestGapMs = std::max(run.LongestGapMs, sinceTick.elapsed());
    tick.stop();
    run.Matches = window.LastSearch().Matches;
    return run;
}

double SearchWithCli(const QString &cli, const QString &folder) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer total;
    total.start();
    process.start(cli, {QStringLiteral("--quiet"), folder});
    process.waitForFinished(-1);
    const double seconds = double(total.nsecsElapsed()) / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        std::fprintf(stderr, "dupliscan-cli failed (exit %d)\n", process.exitCode());
    return seconds;
}

template <typename T> T Median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QString folder, cli;
    int runs = 3;
    bool verbose = false;
    for (int k = 1; k < arguments.size(); ++k) {
        if (arguments[k] == QLatin1String("--cli") && k + 1 < arguments.size())
            cli = arguments[++k];
        else if (arguments[k] == QLatin1String("--verbose"))
            verbose = true;
        else if (arguments[k] == QLatin1String("--runs") && k + 1 < arguments.size())
            runs = std::max(1, arguments[++k].toInt());
        else
            folder = arguments[k];
    }
    if (folder.isEmpty() || cli.isEmpty()) {
        std::fprintf(stderr, "usage: gui_bench FOLDER --cli PATH/dupliscan-cli [--runs N]\n");
        return 2;
    }

    // The user's own settings stay untouched.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    SetSettingsPath(settings.filePath(QStringLiteral("dupliscan.ini")));
    InstallWidgetLanguageSupport();
    SetMessageBoxHandler([](const QString &, TMsgDlgType type, int) {
        return type == TMsgDlgType::Confirmation ? int(mrYes) : int(mrOk);
    });

    SearchWithCli(cli, folder); // the files into the page cache
    std::vector<double> windowSeconds, cliSeconds;
    std::vector<qint64> gaps;
    int matches = 0;
    for (int k = 0; k < runs; ++k) {
        const WindowRun run = SearchInWindow(folder);
        windowSeconds.push_back(run.Seconds);
        gaps.push_back(run.LongestGapMs);
        matches = run.Matches;
        cliSeconds.push_back(SearchWithCli(cli, folder));
        std::printf(
            "run %d: window %.2f s (longest gap %lld ms, %d matches), command line %.2f s\n", k + 1,
            run.Seconds, static_cast<long long>(run.LongestGapMs), run.Matches, cliSeconds.back());
        if (verbose)
            for (const QString &gap : run.LongGaps)
                std::printf("  %s\n", qPrintable(gap));
        std::fflush(stdout);
    }
    const double window = Median(windowSeconds), line = Median(cliSeconds);
    std::printf("median of %d: window %.2f s, command line %.2f s, window / command line %.2f\n",
                runs, window, line, window / line);
    std::printf("longest gap between two rounds of events: median %lld ms, worst %lld ms\n",
                static_cast<long long>(Median(gaps)),
                static_cast<long long>(*std::max_element(gaps.begin(), gaps.end())));
    std::printf("matches: %d\n", matches);
    CloseEngine();
    return 0;
}
