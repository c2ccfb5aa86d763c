#include "gui/PreviewLoader.h"

#include <QThread>

PreviewLoader::PreviewLoader(QObject *parent)
    : QObject(parent), Thread(new QThread(this)), Worker(new QObject) {
    Thread->setObjectName(QStringLiteral("PreviewLoader"));
    Worker->moveToThread(Thread);
    connect(Thread, &QThread::finished, Worker, &QObject::deleteLater);
    Thread->start(QThread::LowPriority);
}

PreviewLoader::~PreviewLoader() {
    Forget();
    Thread->quit();
    Thread->wait();
}

void PreviewLoader::Request(const QString &path, QSize box, Answer done) {
    const quint64 ticket = Next++;
    ++Waiting;
    QMetaObject::invokeMethod(Worker, [this, ticket, path, box, done = std::move(done)] {
        if (ticket < Wanted)
            return;
        const LoadedPicture picture = LoadPicture(Decoder, path, box);
        // Back on the window's thread; dropped with this object.
        QMetaObject::invokeMethod(this, [this, ticket, picture, done] {
            if (ticket < Wanted)
                return;
            --Waiting;
            done(picture);
        });
    });
}

void PreviewLoader::Forget() {
    Wanted = Next;
    Waiting = 0;
}

void PreviewLoader::ReleaseCache() {
    QMetaObject::invokeMethod(Worker, [this] { Decoder.Release(); });
}
