#pragma once
// Helpers shared by the tests: writing real files, and a host that records
// what the engine reports and lets a test steer RunState from inside the loops.

#include "compare/FileCompareUnit.h"
#include "compare/FilterUnit.h"
#include "platform/Platform.h"
#include "results/Engine.h"
#include "run/RunControl.h"
#include "search/CompareDriver.h"
#include "search/FileSearchUnit.h"
#include "search/MatchList.h"
#include "search/PairwiseLoop.h"
#include "search/SearchContext.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <functional>
#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace TestSupport {

// Writes the bytes to a file whose name may carry raw bytes (see Platform::EncodeName).
inline bool WriteFile(const QString &path, const QByteArray &bytes) {
    const int fd = ::open(Platform::EncodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const ssize_t written = ::write(fd, bytes.constData(), std::size_t(bytes.size()));
    ::close(fd);
    return written == bytes.size();
}

// Reproducible random bytes.
inline QByteArray RandomData(qint64 count, quint32 seed) {
    std::vector<quint32> words(std::size_t(count + 3) / 4);
    QRandomGenerator(seed).fillRange(words.data(), qsizetype(words.size()));
    QByteArray bytes(count, Qt::Uninitialized);
    if (count > 0)
        std::memcpy(bytes.data(), words.data(), std::size_t(count));
    return bytes;
}

inline QByteArray ReadWholeFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The text as UTF-16 little-endian bytes, by default behind its byte order mark.
inline QByteArray Utf16Le(const QString &text, bool mark = true) {
    QByteArray bytes = mark ? QByteArray("\xFF\xFE", 2) : QByteArray();
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

inline bool MakeFifo(const QString &path) {
    return ::mkfifo(Platform::EncodeName(path).constData(), 0644) == 0;
}

// A temporary folder that writes whole files by name.
// Removes a tree by its exact bytes; Qt's own removal cannot reach names that
// are not valid UTF-8.
inline void RemoveTree(const QString &path) {
    ::nftw(
        Platform::EncodeName(path).constData(),
        [](const char *name, const struct stat *, int, struct FTW *) { return ::remove(name); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

// A temporary folder that goes with everything in it, also files whose names
// are not valid UTF-8 (a plain QTemporaryDir leaves those behind).
class TempFolder : public QTemporaryDir {
public:
    TempFolder() = default;
    ~TempFolder() { RemoveTree(path()); }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    QString Path(const QString &name) const { return filePath(name); }
    QString Write(const QString &name, const QByteArray &bytes) const {
        if (!WriteFile(filePath(name), bytes))
            qFatal("cannot write %s", qPrintable(name));
        return filePath(name);
    }
};

inline bool MakeFolder(const QString &path) {
    return QDir().mkpath(path);
}

// Writes a file below root (which ends in '/'), making its folders; a failure ends the test.
inline QString WriteAt(const QString &root, const QString &relative, const QByteArray &bytes) {
    const QString path = root + relative;
    MakeFolder(path.left(path.lastIndexOf(QLatin1Char('/'))));
    if (!WriteFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

class RecordingHost : public SearchHost {
public:
    QStringList StatusLines;
    QStringList Infos;
    QStringList Errors;
    QStringList Questions;
    QStringList Titles;
    QStringList Notes;
    bool Answer = true;
    bool IsTerminating = false;
    int MessageCalls = 0;
    // Called on every ProcessMessages with the number of calls so far.
    std::function<void(int)> OnMessages;

    void AddStatusLine(const QString &text) override { StatusLines.append(text); }
    int StatusLineCount() const override { return int(StatusLines.size()); }
    void SetStatusLine(int index, const QString &text) override {
        while (StatusLines.size() <= index)
            StatusLines.append(QString());
        StatusLines[index] = text;
    }
    void ClearStatusLines() override { StatusLines.clear(); }
    void ShowNote(const QString &text) override { Notes.append(text); }
    void SetTitle(const QString &text) override { Titles.append(text); }
    void ProcessMessages() override {
        ++MessageCalls;
        if (OnMessages)
            OnMessages(MessageCalls);
    }
    bool Terminating() const override { return IsTerminating; }
    void Sleep(int) override {}
    void ShowInfo(const QString &text) override { Infos.append(text); }
    void ShowError(const QString &text) override { Errors.append(text); }
    bool AskYesCancel(const QString &text) override {
        Questions.append(text);
        return Answer;
    }
};

// Installs a host for the lifetime of the guard.
class HostGuard {
public:
    explicit HostGuard(SearchHost &host) { SetHost(&host); }
    ~HostGuard() { SetHost(nullptr); }
    HostGuard(const HostGuard &) = delete;
    HostGuard &operator=(const HostGuard &) = delete;
};

// One test's scratch: a fresh engine state, an empty folder (Root ends in '/')
// and a recording host, all undone when it goes away.
struct Scratch {
    QTemporaryDir Dir;
    QString Root = Dir.path() + QLatin1Char('/');
    RecordingHost Host;
    HostGuard Guard{Host};
    Scratch() { Reset(); }
    ~Scratch() {
        RemoveTree(Dir.path());
        Reset();
    }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;
    QString Write(const QString &relative, const QByteArray &bytes) const {
        return WriteAt(Root, relative, bytes);
    }
    static void Reset() { ResetEngine(); }
};

inline QByteArray ReadAll(const QString &path) {
    return ReadWholeFile(path);
}

struct ProgramRun {
    int ExitCode = -1; // -1 when it crashed or did not finish in time
    QByteArray Out;
    QByteArray Err;
};

// Runs a program to its end in the given folder, with extra environment settings;
// inChild runs in the new process before the program starts.
inline ProgramRun RunProgram(const QString &program, const QStringList &arguments,
                             const QString &folder = QString(),
                             const QStringList &environment = QStringList(), int timeout = 60000,
                             const std::function<void()> &inChild = {}) {
    QProcess process;
    if (inChild)
        process.setChildProcessModifier(inChild);
    QProcessEnvironment settings = QProcessEnvironment::systemEnvironment();
    for (const QString &setting : environment)
        settings.insert(setting.section(QLatin1Char('='), 0, 0),
                        setting.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(settings);
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(timeout))
        process.kill();
    else if (process.exitStatus() == QProcess::NormalExit)
        run = {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    process.waitForFinished();
    return run;
}

// Every entry of the tree with its type, size, modification time and mode, links not
// followed: equal listings mean nothing in the tree was touched.
inline QByteArray Listing(const QString &root) {
    return RunProgram(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"),
                       QStringLiteral("find \"$0\" -printf '%p %y %s %T@ %m\\n' | sort"), root})
        .Out;
}

// A small file system of its own, which only root may mount.
struct SmallDisk {
    QTemporaryDir Dir;
    bool Mounted = ::geteuid() == 0 && ::mount("tmpfs", Dir.path().toLocal8Bit(), "tmpfs", 0,
                                               "size=64k,mode=0755") == 0;
    ~SmallDisk() {
        if (Mounted)
            ::umount2(Dir.path().toLocal8Bit(), MNT_DETACH);
    }
    bool ReadOnly() {
        return ::mount("tmpfs", Dir.path().toLocal8Bit(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                       nullptr) == 0;
    }
    // Takes whatever room is left.
    void Fill() const {
        WriteFile(Dir.filePath(QStringLiteral("fill")), QByteArray(64 << 10, 'f'));
    }
};

// The current row's value of a _data() column, as QFETCH gives it.
template <typename T> const T &Data(const char *column) {
    return *static_cast<T *>(QTest::qData(column, qMetaTypeId<T>()));
}

// Fills a _data() table from an array of rows that each carry a Name: the test
// fetches "row" and reads the row's fields from the array.
template <typename Row, std::size_t N> void AddRows(const Row (&rows)[N]) {
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i)
        QTest::newRow(rows[i].Name) << int(i);
}

// Root may read and search every folder whatever its mode. While this lives,
// the test process sets that power aside, so that a folder its owner may not
// read or search stays shut to the test as well; anyone else has no such power.
class OwnerRightsOnly {
public:
    OwnerRightsOnly() { Set(false); }
    ~OwnerRightsOnly() { Set(true); }
    OwnerRightsOnly(const OwnerRightsOnly &) = delete;
    OwnerRightsOnly &operator=(const OwnerRightsOnly &) = delete;

    // The same for a program the test starts (RunProgram's inChild), for good.
    static void InChild() {
        ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
        ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
    }

private:
    static void Set(bool power) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        if (::syscall(SYS_capget, &header, data) != 0)
            return;
        constexpr quint32 powers = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
        data[0].effective =
            power ? data[0].effective | (data[0].permitted & powers) : data[0].effective & ~powers;
        ::syscall(SYS_capset, &header, data);
    }
};

inline bool SetMode(const QString &path, mode_t mode) {
    return ::chmod(Platform::EncodeName(path).constData(), mode) == 0;
}

} // namespace TestSupport
