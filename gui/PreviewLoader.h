#pragma once
// Decodes the preview's pictures on a thread of its own, so that the window
// never waits for a large or slow file. One request at a time is the usual
// case; requests wait in the order they came.

#include "results/PreviewUnit.h"

#include <QObject>
#include <QSize>
#include <QString>
#include <atomic>
#include <functional>

class QThread;

class PreviewLoader : public QObject {
    Q_OBJECT

public:
    explicit PreviewLoader(QObject *parent);
    // Waits for the picture being decoded, if any; the rest is dropped.
    ~PreviewLoader() override;

    // The answer comes back on the caller's thread through done, unless Forget
    // ran in the meantime.
    using Answer = std::function<void(const LoadedPicture &picture)>;
    void Request(const QString &path, QSize box, Answer done);
    // Requests not answered yet are dropped; those still waiting are not decoded.
    void Forget();
    // Gives back the decoder's buffer once nothing waits.
    void ReleaseCache();
    // Requests asked for and not yet answered or forgotten.
    int Pending() const { return Waiting; }

private:
    QThread *Thread = nullptr;
    QObject *Worker = nullptr; // lives on Thread
    ImageLoader Decoder;       // used on Thread only
    // Requests older than this are no longer wanted.
    std::atomic<quint64> Wanted = 0;
    quint64 Next = 0;
    int Waiting = 0;
};
