#include "gui/StartPageRules.h"

#include "platform/Platform.h"

#include <algorithm>

namespace StartPageRules {

namespace {
bool IsDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int ClampPercent(int percent) {
    return std::clamp(percent, LowestPercent, HighestPercent);
}
} // namespace

int ParsePercent(const QString &text) {
    QString work = text.trimmed();
    while (!work.isEmpty() && !IsDigit(work.back()))
        work.chop(1);
    while (!work.isEmpty() && !IsDigit(work.front()))
        work.remove(0, 1);
    bool ok = false;
    const int value = work.toInt(&ok);
    return ClampPercent(ok ? value : HighestPercent);
}

int StepPercent(int percent, bool up) {
    const int rounded = percent / PercentStep * PercentStep;
    return ClampPercent(rounded + (up ? PercentStep : -PercentStep));
}

QString PercentText(int percent) {
    return QString::number(percent) + QLatin1Char('%');
}

int PercentRed(int percent) {
    return std::min(std::max(HighestPercent - percent, 0), 20) * 12;
}

bool IncludeHundredVisible(int percent) {
    return percent != HighestPercent;
}

int FindCaptionPhrase(const FindCaptionInput &input) {
    int phrase = input.ContentPercent == HighestPercent ? 28 : 29;
    if (input.Images)
        phrase = 43;
    if (input.CompareNames && !input.CompareContents)
        phrase = input.NamePercent >= HighestPercent && !input.DifferentExts ? 42 : 41;
    return phrase;
}

int ParseMaxDuplicates(const QString &text) {
    QString digits;
    for (const QChar c : text.trimmed())
        if (IsDigit(c))
            digits.append(c);
    bool ok = false;
    const int limit = digits.toInt(&ok);
    return ok ? limit : 0;
}

QString MaxDuplicatesText(int limit) {
    return limit < 1 ? QString() : QString::number(limit);
}

bool MaxFilesGivesLimit(const QString &text) {
    bool ok = false;
    const int limit = text.trimmed().toInt(&ok);
    return ok && limit >= 1;
}

int FolderModeOf(bool differentSubfolders, bool differentBaseFolders) {
    int mode = 0;
    if (differentSubfolders)
        mode = 1;
    if (differentBaseFolders)
        mode = 2;
    return mode;
}

QStringList FolderHistoryToSave(const QStringList &items, const QString &current) {
    QStringList saved = items;
    const qsizetype at = saved.indexOf(current.trimmed());
    if (at > 0)
        saved.move(at, 0);
    return saved;
}

QStringList FolderHistoryAfterSearch(const QStringList &items, const QString &folder) {
    QStringList history = items;
    const QString trimmed = folder.trimmed();
    if (!trimmed.isEmpty() && !history.contains(trimmed))
        history.prepend(trimmed);
    while (history.size() > FolderHistoryLength)
        history.removeLast();
    return history;
}

bool FilesTitleShrinks(int windowHeight) {
    return windowHeight < 701;
}

bool MethodTitlesShrink(int windowHeight) {
    return windowHeight < 591;
}

QString LockWarningText(const QString &lockText, const QString &riskText) {
    QString text = lockText;
    const qsizetype blank = text.indexOf(QLatin1Char(' '), text.size() / 2);
    if (blank >= 0)
        text[blank] = QLatin1Char('\n');
    return text + QStringLiteral("\n\n") + riskText;
}

StartFolders StartFoldersOf(const QStringList &arguments) {
    QStringList folders;
    bool optionsEnded = false;
    for (const QString &argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument.isEmpty() || (!optionsEnded && argument.startsWith(QLatin1Char('-'))))
            continue;
        // An existing folder is shown the way the folder dialog gives it; any
        // other text stays as typed, and the search then says what is wrong.
        const QString absolute = Platform::AbsolutePath(argument);
        folders.append(Platform::CheckFolder(absolute) == Platform::FolderProblem::None
                           ? Platform::WithTrailingDelimiter(absolute)
                           : argument);
    }
    return {folders.value(0), folders.value(1)};
}

} // namespace StartPageRules
