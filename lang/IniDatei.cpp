#include "lang/IniDatei.h"

#include "lang/WideSLUnit.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace {
struct SettingsState {
    QString Path;
    std::optional<QStringList> Lines;
    bool Modified = false;
    // The file is there but could not be understood: it is never replaced, so
    // the user's own settings survive a program that could not read them.
    bool Unreadable = false;
    // The program's own path (not one given by a test); its folder in the
    // user's configuration may not exist yet.
    bool OwnPath = false;
};

SettingsState TheState;

SettingsState &State() {
    return TheState;
}

QString SettingsPath() {
    SettingsState &s = State();
    if (s.Path.isEmpty()) {
        s.Path = Platform::SettingsFilePath(QStringLiteral("dupliscan.ini"));
        s.OwnPath = true;
    }
    return s.Path;
}

void Load() {
    SettingsState &s = State();
    s.Modified = false;
    QStringList lines;
    const int result = LoadTextFile(SettingsPath(), lines);
    s.Unreadable = result == TextFileUnreadable;
    if (result == TextLoaded)
        s.Lines = lines;
    else
        s.Lines.reset();
}

// Index of the first line whose name (the text before "=") matches.
qsizetype FindLine(const QStringList &lines, const QString &name) {
    for (qsizetype k = 0; k < lines.size(); ++k) {
        const qsizetype eq = lines[k].indexOf(QLatin1Char('='));
        if (eq >= 0 && QStringView(lines[k]).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return k;
    }
    return -1;
}

} // namespace

QString CurrentSettingsPath() {
    return SettingsPath();
}

QString ReadSetting(const QString &name) {
    SettingsState &s = State();
    if (!s.Lines)
        Load();
    if (!s.Lines)
        return {};
    const qsizetype k = FindLine(*s.Lines, name);
    return k < 0 ? QString() : s.Lines->at(k).mid(s.Lines->at(k).indexOf(QLatin1Char('=')) + 1);
}

void WriteSetting(const QString &name, const QString &value) {
    SettingsState &s = State();
    if (!s.Lines)
        Load();
    if (!s.Lines)
        s.Lines = QStringList();
    QStringList &lines = *s.Lines;
    const qsizetype k = FindLine(lines, name);
    const QString current =
        k < 0 ? QString() : lines[k].mid(lines[k].indexOf(QLatin1Char('=')) + 1);
    if (current == value)
        return;
    if (value.isEmpty())
        lines.removeAt(k);
    else if (k >= 0)
        lines[k] = name + QLatin1Char('=') + value;
    else
        lines.append(name + QLatin1Char('=') + value);
    s.Modified = true;
}

void SaveSettings() {
    SettingsState &s = State();
    if (!s.Modified || !s.Lines || s.Unreadable)
        return;
    if (s.OwnPath)
        QDir().mkpath(QFileInfo(SettingsPath()).absolutePath());
    if (SaveTextFile(&*s.Lines, SettingsPath()))
        s.Modified = false;
}

bool SettingsModified() {
    return State().Modified;
}

void SetSettingsPath(const QString &path) {
    ResetSettings();
    State().Path = path;
}

void ResetSettings() {
    State() = SettingsState();
}
