// Fingerprints every picture of a folder and compares all pairs the way the
// similarity driver does in image mode (strict at 95 %): files already in a
// block are passed over, a fingerprint is made at most once per file, the head's
// fingerprint is fetched once. Prints the blocks (one per line, tab-separated
// names) to standard output and the timings to standard error.
//   fingerprint_bench FOLDER [PERCENT] [--decode-only]

#include "compare/ImageCompareUnit.h"
#include "compare/ImageDecoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cstdio>
#include <sys/resource.h>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: fingerprint_bench FOLDER [PERCENT]\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const int percent = argc > 2 ? std::atoi(argv[2]) : 95;
    const bool strict = percent >= 90;
    QStringList names = folder.entryList(QDir::Files, QDir::Name);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString &n) { return !IsImageFile(n); }),
                names.end());
    const qsizetype n = names.size();

    // Decoding alone: how much of a fingerprint's time the image reader takes.
    if (argc > 3 && qstrcmp(argv[3], "--decode-only") == 0) {
        QElapsedTimer decode;
        decode.start();
        int failed = 0;
        for (const QString &name : names)
            failed += LoadImageAsBitmap(folder.filePath(name)).isNull() ? 1 : 0;
        std::fprintf(stderr, "decoded %lld files (%d failed) in %lld ms\n", qint64(n), failed,
                     decode.elapsed());
        return 0;
    }

    QElapsedTimer wall;
    wall.start();
    ResetImageDatabase();
    std::vector<qint32> imageId(std::size_t(n), 0);
    std::vector<int> group(std::size_t(n), 0);
    qint64 fingerprintNs = 0, compareNs = 0, pairs = 0;
    QElapsedTimer t;
    const auto fingerprint = [&](qsizetype k) {
        if (imageId[std::size_t(k)] != 0)
            return;
        t.start();
        imageId[std::size_t(k)] = ImageFingerprint(folder.filePath(names[k]));
        fingerprintNs += t.nsecsElapsed();
    };
    int blocks = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (group[std::size_t(i)] != 0)
            continue;
        fingerprint(i);
        QByteArray head;
        if (imageId[std::size_t(i)] > 0) {
            t.start();
            head = FingerprintData(imageId[std::size_t(i)]);
            compareNs += t.nsecsElapsed();
        }
        for (qsizetype j = i + 1; j < n; ++j) {
            if (group[std::size_t(j)] != 0)
                continue;
            fingerprint(j);
            t.start();
            const int p = ImageSimilarity(head, imageId[std::size_t(j)], strict);
            compareNs += t.nsecsElapsed();
            ++pairs;
            // p 0 would go on to a content comparison; the corpus has no byte copies.
            if (p >= percent) {
                if (group[std::size_t(i)] == 0)
                    group[std::size_t(i)] = ++blocks;
                group[std::size_t(j)] = group[std::size_t(i)];
            }
        }
    }
    ResetImageDatabase();
    ReleaseImageCache();
    const qint64 wallMs = wall.elapsed();

    for (int b = 1; b <= blocks; ++b) {
        QStringList members;
        for (qsizetype k = 0; k < n; ++k)
            if (group[std::size_t(k)] == b)
                members << names[k];
        std::printf("%s\n", qPrintable(members.join(QLatin1Char('\t'))));
    }

    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr,
                 "files %lld, pairs compared %lld, blocks %d\n"
                 "wall %lld ms: fingerprints %lld ms, compares %lld ms\n"
                 "peak RSS %ld KiB\n",
                 qint64(n), pairs, blocks, wallMs, fingerprintNs / 1000000, compareNs / 1000000,
                 usage.ru_maxrss);
    return 0;
}
