// How the result list copes with a long result: the time from the end of the
// compare until the first rows are on the screen, the time to paint each page
// while the scroll bar pages from the top to the bottom, and what the list
// costs in memory beyond the match list itself.
//
//     result_list_bench [rows] [files per block]
//
// Prints one line of figures. Run it in a Release build (bench/gui/result-list-bench.sh).

#include "gui/ResultList.h"
#include "results/Engine.h"
#include "search/MatchList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <unistd.h>
#include <vector>

namespace {
// Rows are measured in the list's own font, as the desktop program does.
class BenchHost : public SearchHost {
public:
    explicit BenchHost(const ResultList *list) : List(list) {}
    int TextWidth(const QString &text) const override { return List->TextWidth(text); }

private:
    const ResultList *List;
};

qint64 HeapInUse() {
    malloc_trim(0);
    return qint64(mallinfo2().uordblks);
}

qint64 ResidentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

// A file table as the drivers leave it: blocks of files with the head's index
// as their group, spread over folders like a photo collection.
void FillFileTable(int rows, int perBlock) {
    FileList &table = FileTable();
    table.reserve(std::size_t(rows));
    for (int i = 0; i < rows; ++i) {
        const int head = i - i % perBlock;
        FileRecord record{.Size = 100000 + i * 37,
                          .WriteTime = 132000000000000000 + i * 10000000LL,
                          .Group = head,
                          .Percent = quint8(i == head ? 100 : 90 + i % 10)};
        table.push_back({QStringLiteral("Bilder/%1/Reise %2/IMG_%3.jpg")
                             .arg(2000 + i % 24)
                             .arg(i % 97, 2, 10, QLatin1Char('0'))
                             .arg(i, 6, 10, QLatin1Char('0')),
                         std::make_unique<FileRecord>(record)});
    }
}

// Counts the paints of a pane.
class PaintWatch : public QObject {
public:
    bool Painted = false;
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            Painted = true;
        return false;
    }
};

double Milliseconds(qint64 nanoseconds) {
    return double(nanoseconds) / 1e6;
}

// The processor time of this thread: on a busy machine the wall clock also
// counts the time other processes had the processor.
qint64 ThreadNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct Spread {
    double Median, Percentile99, Slowest;
};
Spread SpreadOf(std::vector<qint64> times) {
    if (times.empty())
        return {};
    std::sort(times.begin(), times.end());
    return {Milliseconds(times[times.size() / 2]), Milliseconds(times[times.size() * 99 / 100]),
            Milliseconds(times.back())};
}
} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 50000;
    const int perBlock = argc > 2 ? std::max(2, atoi(argv[2])) : 5;

    QWidget window;
    auto *list = new ResultList(&window);
    (new QVBoxLayout(&window))->addWidget(list);
    window.resize(1200, 800);
    window.show();
    BenchHost host(list);
    SetHost(&host);
    auto *nameBox = list->findChild<QListView *>(QStringLiteral("NameBox"));
    auto *scrollBar = list->findChild<QScrollBar *>(QStringLiteral("ScrollBar"));
    PaintWatch watch;
    nameBox->viewport()->installEventFilter(&watch);
    for (int k = 0; k < 10; ++k)
        QCoreApplication::processEvents();

    const qint64 heapBefore = HeapInUse();
    FillFileTable(rows, perBlock);
    const qint64 heapWithTable = HeapInUse();

    // The compare ends here: the match list is built, then shown.
    QElapsedTimer clock;
    clock.start();
    BuildMatchList();
    const qint64 built = clock.nsecsElapsed();
    const qint64 heapMatchList = HeapInUse();
    const qint64 rssMatchList = ResidentBytes();

    clock.restart();
    watch.Painted = false;
    list->FillResultList();
    while (!watch.Painted)
        QCoreApplication::processEvents();
    const qint64 firstPaint = clock.nsecsElapsed();

    // Page by page with the scroll bar, each page painted at once.
    std::vector<qint64> pages, pagesProcessor;
    while (scrollBar->value() < scrollBar->maximum()) {
        const qint64 processor = ThreadNanoseconds();
        clock.restart();
        scrollBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        list->repaint();
        pages.push_back(clock.nsecsElapsed());
        pagesProcessor.push_back(ThreadNanoseconds() - processor);
    }
    const qint64 heapShown = HeapInUse();
    const qint64 rssShown = ResidentBytes();

    const Spread wall = SpreadOf(pages), processor = SpreadOf(pagesProcessor);
    std::printf("rows %d, blocks of %d, %d rows a page, %zu pages\n", rows, perBlock,
                scrollBar->pageStep(), pages.size());
    std::printf("match list: %.0f bytes a row (file table before: %.0f bytes a row)\n",
                double(heapMatchList - heapBefore) / rows,
                double(heapWithTable - heapBefore) / rows);
    std::printf("build match list %.1f ms, fill until first paint %.1f ms, together %.1f ms\n",
                Milliseconds(built), Milliseconds(firstPaint), Milliseconds(built + firstPaint));
    std::printf(
        "page paint, wall clock: median %.2f ms, 99th percentile %.2f ms, slowest %.2f ms\n",
        wall.Median, wall.Percentile99, wall.Slowest);
    std::printf(
        "page paint, processor:  median %.2f ms, 99th percentile %.2f ms, slowest %.2f ms\n",
        processor.Median, processor.Percentile99, processor.Slowest);
    std::printf("list memory above the match list: heap %.1f bytes a row, resident %.1f bytes "
                "a row\n",
                double(heapShown - heapMatchList) / rows, double(rssShown - rssMatchList) / rows);

    list->ClearResultList();
    SetHost(nullptr);
    ClearMatchList();
    return 0;
}
