#include "cli/CliOptions.h"

#include "cli/CliPhrases.h"
#include "compare/FilterUnit.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {
enum class OptionKind {
    Flag,     // takes no value
    Number,   // a whole number from Low to High
    Text,     // any text, the empty one too
    FileName, // a text that is not empty, nor blank where BlankRefused
    Choice,   // one of Choices; its position is the value's number
};

// An option's value: the text as given and, for a number or a choice, its number.
struct Value {
    qint64 Number = 0;
    QString Text;
};
using Args = CliArguments;

// One option: how it is typed, what value it takes and what it sets. A value
// follows as the next argument or, after a long name, as "--name=value".
struct OptionRule {
    const char *Name;
    const char *Alias = nullptr;
    OptionKind Kind = OptionKind::Flag;
    qint64 Low = 0;
    qint64 High = 0;
    const char *Choices = nullptr; // blank separated
    bool BlankRefused = false;
    void (*Set)(Args &a, const Value &value);
};

using enum OptionKind;
constexpr qint64 NoMaxDuplicates = std::numeric_limits<qint32>::max();

const OptionRule Rules[] = {
    {.Name = "--help", .Alias = "-h", .Set = [](Args &a, const Value &) { a.ShowHelp = true; }},
    {.Name = "--version", .Set = [](Args &a, const Value &) { a.ShowVersion = true; }},
    {.Name = "--no-subfolders",
     .Set = [](Args &a, const Value &) { a.Request.IncludeSubfolders = false; }},
    {.Name = "--no-contents",
     .Set = [](Args &a, const Value &) { a.Request.Options.CompareContents = false; }},
    {.Name = "--percent",
     .Kind = Number,
     .Low = MinMatchPercent,
     .High = MaxMatchPercent,
     .Set = [](Args &a, const Value &v) { a.Request.Options.ContentPercent = quint8(v.Number); }},
    {.Name = "--no-incl100",
     .Set = [](Args &a, const Value &) { a.Request.IncludeHundred = false; }},
    {.Name = "--images", .Set = [](Args &a, const Value &) { a.Request.Options.ImageMode = true; }},
    {.Name = "--names",
     .Set = [](Args &a, const Value &) { a.Request.Options.CompareNames = true; }},
    {.Name = "--name-percent",
     .Kind = Number,
     .Low = MinMatchPercent,
     .High = MaxMatchPercent,
     .Set = [](Args &a, const Value &v) { a.Request.Options.NamePercent = quint8(v.Number); }},
    {.Name = "--different-exts",
     .Set = [](Args &a, const Value &) { a.Request.Options.DifferentExts = true; }},
    {.Name = "--identical-size",
     .Set = [](Args &a, const Value &) { a.Request.Options.IdenticalSize = true; }},
    // FolderMode counts the choices from 0.
    {.Name = "--folders",
     .Kind = Choice,
     .Choices = "all different different-bases",
     .Set =
         [](Args &a, const Value &v) {
             a.Request.Options.FolderMode = qint32(v.Number);
             a.Request.FolderModeFixed = true;
         }},
    {.Name = "--certain-file",
     .Kind = FileName,
     .BlankRefused = true,
     .Set =
         [](Args &a, const Value &v) {
             a.Request.Options.CertainFile = v.Text;
             a.Request.CertainFileMode = true;
         }},
    {.Name = "--max",
     .Kind = Number,
     .High = NoMaxDuplicates,
     .Set = [](Args &a, const Value &v) { a.Request.Options.MaxDuplicates = qint32(v.Number); }},
    {.Name = "--include",
     .Kind = Text,
     .Set = [](Args &a, const Value &v) { a.Request.Filter.Include = v.Text; }},
    {.Name = "--exclude",
     .Kind = Text,
     .Set = [](Args &a, const Value &v) { a.Request.Filter.Exclude = v.Text; }},
    {.Name = "--never",
     .Kind = Text,
     .Set = [](Args &a, const Value &v) { a.Request.Filter.Never = v.Text; }},
    {.Name = "--min-kb",
     .Kind = Number,
     .High = NoMaxSizeKB,
     .Set = [](Args &a, const Value &v) { a.Request.Filter.MinSizeKB = qint32(v.Number); }},
    {.Name = "--max-kb",
     .Kind = Number,
     .High = NoMaxSizeKB,
     .Set = [](Args &a, const Value &v) { a.Request.Filter.MaxSizeKB = qint32(v.Number); }},
    // The choices in the order of OutputFormat.
    {.Name = "--format",
     .Kind = Choice,
     .Choices = "text csv xls json",
     .Set = [](Args &a, const Value &v) { a.Format = OutputFormat(v.Number); }},
    {.Name = "--output",
     .Alias = "-o",
     .Kind = FileName,
     .Set = [](Args &a, const Value &v) { a.OutputFile = v.Text; }},
    {.Name = "--language",
     .Kind = Text,
     .Set = [](Args &a, const Value &v) { a.Language = v.Text; }},
    {.Name = "--save-phrases",
     .Kind = FileName,
     .Set =
         [](Args &a, const Value &v) {
             a.SavePhrasesFile = v.Text;
             a.SaveNewPhrasesOnly = false;
         }},
    {.Name = "--save-new-phrases",
     .Kind = FileName,
     .Set =
         [](Args &a, const Value &v) {
             a.SavePhrasesFile = v.Text;
             a.SaveNewPhrasesOnly = true;
         }},
    {.Name = "--no-cache", .Set = [](Args &a, const Value &) { a.UseCache = false; }},
    {.Name = "--clear-cache", .Set = [](Args &a, const Value &) { a.ClearCache = true; }},
    {.Name = "--quiet", .Alias = "-q", .Set = [](Args &a, const Value &) { a.Quiet = true; }},
    {.Name = "--yes", .Alias = "-y", .Set = [](Args &a, const Value &) { a.AssumeYes = true; }},
};

const OptionRule *RuleOf(const QString &name) {
    const auto found = std::find_if(std::begin(Rules), std::end(Rules), [&](const OptionRule &r) {
        return name == QLatin1String(r.Name) || (r.Alias && name == QLatin1String(r.Alias));
    });
    return found == std::end(Rules) ? nullptr : found;
}

QString RangeText(qint64 low, qint64 high) {
    return QStringLiteral("%1..%2").arg(low).arg(high);
}

// Checks a value against its option's rule; name is the option as typed.
bool CheckValue(const OptionRule &rule, const QString &name, Value &value, QString &error) {
    switch (rule.Kind) {
    case Flag:
    case Text:
        return true;
    case Number: {
        bool ok = false;
        value.Number = value.Text.toLongLong(&ok);
        if (ok && value.Number >= rule.Low && value.Number <= rule.High)
            return true;
        error = CliPhraseParam(PhraseNeedsWholeNumber, name) +
                QStringLiteral(" (%1): \"%2\"").arg(RangeText(rule.Low, rule.High), value.Text);
        return false;
    }
    case FileName:
        if (!(rule.BlankRefused ? value.Text.trimmed() : value.Text).isEmpty())
            return true;
        error = CliPhraseParam(PhraseNeedsFileName, name);
        return false;
    case Choice: {
        const QStringList choices = QString::fromLatin1(rule.Choices).split(QLatin1Char(' '));
        value.Number = choices.indexOf(value.Text);
        if (value.Number >= 0)
            return true;
        error = CliPhraseParam(PhraseInvalidValue, name) +
                QStringLiteral(": \"%1\" (%2)").arg(value.Text, choices.join(QStringLiteral(", ")));
        return false;
    }
    }
    return false;
}

// The rules that hold between options, and what the options leave open.
bool Settle(CliArguments &a, const QStringList &folders, QString &error) {
    SearchRequest &request = a.Request;
    if (folders.size() > 2) {
        error = CliPhraseParam(PhraseTooManyFolders, QString::number(folders.size()));
        return false;
    }
    if (request.Filter.MinSizeKB > request.Filter.MaxSizeKB) {
        error = CliPhrase(PhraseMinAboveMax) + QStringLiteral(" (%1 > %2)")
                                                   .arg(request.Filter.MinSizeKB)
                                                   .arg(request.Filter.MaxSizeKB);
        return false;
    }
    if (a.Format == OutputFormat::Xls && a.OutputFile.isEmpty()) {
        error = CliPhrase(PhraseXlsNeedsOutput);
        return false;
    }
    // Pictures and similarity are ways of comparing contents.
    if (!request.Options.CompareContents) {
        request.Options.ContentPercent = MaxMatchPercent;
        request.Options.ImageMode = false;
    }
    request.Folder1 = folders.value(0, QStringLiteral("."));
    request.Folder2 = folders.value(1);
    return true;
}
} // namespace

std::optional<CliArguments> ParseArguments(const QStringList &arguments, QString &error) {
    CliArguments a;
    // Unlike the window, the command line has no limit unless one is asked for.
    a.Request.Options.MaxDuplicates = 0;
    QStringList folders;
    bool optionsEnded = false;
    for (qsizetype k = 0; k < arguments.size(); ++k) {
        const QString &arg = arguments[k];
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            folders.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg;
        std::optional<QString> inlineValue;
        if (const qsizetype eq = arg.indexOf(QLatin1Char('='));
            arg.startsWith(QLatin1String("--")) && eq > 0) {
            name = arg.left(eq);
            inlineValue = arg.mid(eq + 1);
        }
        const OptionRule *rule = RuleOf(name);
        if (!rule) {
            error = CliPhraseParam(PhraseUnknownOption, arg);
            return std::nullopt;
        }
        Value value;
        if (rule->Kind != Flag) {
            if (inlineValue) {
                value.Text = *inlineValue;
            } else if (k + 1 < arguments.size()) {
                value.Text = arguments[++k];
            } else {
                error = CliPhraseParam(PhraseNeedsValue, name);
                return std::nullopt;
            }
            if (!CheckValue(*rule, name, value, error))
                return std::nullopt;
        }
        rule->Set(a, value);
    }
    if (a.ShowHelp || a.ShowVersion || a.ClearCache || !a.SavePhrasesFile.isEmpty())
        return a;
    if (!Settle(a, folders, error))
        return std::nullopt;
    return a;
}

QString UsageText() {
    struct Row {
        const char *Option; // empty: the line goes on the text of the row above
        int Line;           // below 0: the option stands alone
        QString Param = {};
    };
    const QString percentRange = RangeText(MinMatchPercent, MaxMatchPercent);
    // The default never list, over two lines.
    const QStringList never = DefaultNeverList.split(QLatin1Char(' '));
    const qsizetype half = (never.size() + 1) / 2;
    // The option groups, each under its heading.
    const QList<QPair<int, QList<Row>>> groups = {
        {4,
         {{"--no-contents", 5},
          {"--percent N", 6, percentRange},
          {"", 35},
          {"--no-incl100", 36},
          {"--images", 37},
          {"", 38},
          {"--names", 7},
          {"--name-percent N", 8, percentRange},
          {"--different-exts", 9},
          {"--identical-size", 10},
          {"--folders MODE", 11},
          {"", 12},
          {"--certain-file PATH", 13},
          {"--max N", 14},
          {"--no-subfolders", 15},
          {"--no-cache", 41},
          {"--clear-cache", 42}}},
        {16,
         {{"--include \"jpg png\"", 17},
          {"--exclude \"tmp\"", 18},
          {"--never \"exe dll\"", 19, never.first(half).join(QLatin1Char(' '))},
          {"", 20, never.sliced(half).join(QLatin1Char(' '))},
          {"--min-kb N, --max-kb N", 21, RangeText(0, NoMaxSizeKB)}}},
        {22,
         {{"--format text|csv|xls|json", 23},
          {"--output FILE, -o FILE", 24},
          {"--quiet, -q", 25},
          {"--yes, -y", 26},
          {"--language XX", 27},
          {"--save-phrases FILE", 28},
          {"--save-new-phrases FILE", 29},
          {"--help, --version", -1}}},
    };
    qsizetype width = 0;
    for (const auto &group : groups)
        for (const Row &row : group.second)
            if (row.Line >= 0)
                width = std::max(width, qsizetype(std::strlen(row.Option)));
    // Two blanks between the longest option and its text.
    width += 2;

    auto line = [](int n, const QString &param = {}) {
        return CliPhraseParam(PhraseUsageFirst + n, param) + QLatin1Char('\n');
    };
    QString text = line(0) + line(1) + line(2) + line(3) + QLatin1Char('\n');
    for (const auto &[heading, rows] : groups) {
        text += line(heading);
        for (const Row &row : rows) {
            const QString option = QString::fromLatin1(row.Option);
            text += QStringLiteral("  ") +
                    (row.Line < 0 ? option + QLatin1Char('\n')
                                  : option.leftJustified(width) + line(row.Line, row.Param));
        }
        text += QLatin1Char('\n');
    }
    text += line(39) + line(40) + line(30) + line(31) + line(32) + line(33) + line(34);
    return text;
}
