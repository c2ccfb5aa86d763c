#include "cli/CliOptions.h"

#include "cli/CliPhrases.h"

namespace {
bool ParseNumber(const QString &text, qint64 low, qint64 high, qint64 &value) {
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok && value >= low && value <= high;
}

QString RangeError(const QString &option, qint64 low, qint64 high, const QString &given) {
    return CliPhraseParam(PhraseNeedsWholeNumber, option) +
           QStringLiteral(" (%1..%2): \"%3\"").arg(low).arg(high).arg(given);
}

QString InvalidValue(const QString &option, const QString &given, const QString &choices) {
    return CliPhraseParam(PhraseInvalidValue, option) +
           QStringLiteral(": \"%1\" (%2)").arg(given, choices);
}
} // namespace

std::optional<CliArguments> ParseArguments(const QStringList &arguments, QString &error) {
    CliArguments a;
    a.Options.MaxDuplicates = 0;
    QStringList folders;
    bool optionsEnded = false;
    for (int k = 0; k < arguments.size(); ++k) {
        const QString &arg = arguments[k];
        if (optionsEnded || !arg.startsWith(QLatin1String("-")) || arg == QLatin1String("-")) {
            folders.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg, inlineValue;
        bool hasInlineValue = false;
        if (const qsizetype eq = arg.indexOf(QLatin1Char('='));
            arg.startsWith(QLatin1String("--")) && eq > 0) {
            name = arg.left(eq);
            inlineValue = arg.mid(eq + 1);
            hasInlineValue = true;
        }
        auto value = [&](QString &out) {
            if (hasInlineValue) {
                out = inlineValue;
                return true;
            }
            if (k + 1 >= arguments.size()) {
                error = CliPhraseParam(PhraseNeedsValue, name);
                return false;
            }
            out = arguments[++k];
            return true;
        };
        auto number = [&](qint64 low, qint64 high, qint64 &out) {
            QString text;
            if (!value(text))
                return false;
            if (!ParseNumber(text, low, high, out)) {
                error = RangeError(name, low, high, text);
                return false;
            }
            return true;
        };
        qint64 n = 0;
        QString text;
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            a.ShowHelp = true;
        } else if (name == QLatin1String("--version")) {
            a.ShowVersion = true;
        } else if (name == QLatin1String("--no-subfolders")) {
            a.IncludeSubfolders = false;
        } else if (name == QLatin1String("--no-contents")) {
            a.Options.CompareContents = false;
        } else if (name == QLatin1String("--percent")) {
            if (!number(60, 100, n))
                return std::nullopt;
            a.Options.ContentPercent = quint8(n);
        } else if (name == QLatin1String("--no-incl100")) {
            a.IncludeHundred = false;
        } else if (name == QLatin1String("--images")) {
            a.Images = true;
        } else if (name == QLatin1String("--names")) {
            a.Options.CompareNames = true;
        } else if (name == QLatin1String("--name-percent")) {
            if (!number(60, 100, n))
                return std::nullopt;
            a.Options.NamePercent = quint8(n);
        } else if (name == QLatin1String("--different-exts")) {
            a.Options.DifferentExts = true;
        } else if (name == QLatin1String("--identical-size")) {
            a.Options.IdenticalSize = true;
        } else if (name == QLatin1String("--folders")) {
            if (!value(text))
                return std::nullopt;
            if (text == QLatin1String("all"))
                a.Options.FolderMode = 0;
            else if (text == QLatin1String("different"))
                a.Options.FolderMode = 1;
            else if (text == QLatin1String("different-bases"))
                a.Options.FolderMode = 2;
            else {
                error = InvalidValue(name, text, QStringLiteral("all, different, different-bases"));
                return std::nullopt;
            }
        } else if (name == QLatin1String("--certain-file")) {
            if (!value(a.Options.CertainFile))
                return std::nullopt;
            if (a.Options.CertainFile.trimmed().isEmpty()) {
                error = CliPhraseParam(PhraseNeedsFileName, name);
                return std::nullopt;
            }
        } else if (name == QLatin1String("--max")) {
            if (!number(0, 2147483647, n))
                return std::nullopt;
            a.Options.MaxDuplicates = qint32(n);
        } else if (name == QLatin1String("--include")) {
            if (!value(a.Include))
                return std::nullopt;
        } else if (name == QLatin1String("--exclude")) {
            if (!value(a.Exclude))
                return std::nullopt;
        } else if (name == QLatin1String("--never")) {
            if (!value(a.Never))
                return std::nullopt;
        } else if (name == QLatin1String("--min-kb")) {
            if (!number(0, 2097151, n))
                return std::nullopt;
            a.MinSizeKB = qint32(n);
        } else if (name == QLatin1String("--max-kb")) {
            if (!number(0, 2097151, n))
                return std::nullopt;
            a.MaxSizeKB = qint32(n);
        } else if (name == QLatin1String("--format")) {
            if (!value(text))
                return std::nullopt;
            if (text == QLatin1String("text"))
                a.Format = OutputFormat::Text;
            else if (text == QLatin1String("csv"))
                a.Format = OutputFormat::Csv;
            else if (text == QLatin1String("xls"))
                a.Format = OutputFormat::Xls;
            else if (text == QLatin1String("json"))
                a.Format = OutputFormat::Json;
            else {
                error = InvalidValue(name, text, QStringLiteral("text, csv, xls, json"));
                return std::nullopt;
            }
        } else if (name == QLatin1String("--output") || name == QLatin1String("-o")) {
            if (!value(a.OutputFile))
                return std::nullopt;
            if (a.OutputFile.isEmpty()) {
                error = CliPhraseParam(PhraseNeedsFileName, name);
                return std::nullopt;
            }
        } else if (name == QLatin1String("--language")) {
            if (!value(a.Language))
                return std::nullopt;
        } else if (name == QLatin1String("--save-phrases") ||
                   name == QLatin1String("--save-new-phrases")) {
            if (!value(a.SavePhrasesFile))
                return std::nullopt;
            if (a.SavePhrasesFile.isEmpty()) {
                error = CliPhraseParam(PhraseNeedsFileName, name);
                return std::nullopt;
            }
            a.SaveNewPhrasesOnly = name == QLatin1String("--save-new-phrases");
        } else if (name == QLatin1String("--quiet") || name == QLatin1String("-q")) {
            a.Quiet = true;
        } else if (name == QLatin1String("--yes") || name == QLatin1String("-y")) {
            a.AssumeYes = true;
        } else {
            error = CliPhraseParam(PhraseUnknownOption, arg);
            return std::nullopt;
        }
    }
    if (a.ShowHelp || a.ShowVersion || !a.SavePhrasesFile.isEmpty())
        return a;
    if (folders.size() > 2) {
        error = CliPhraseParam(PhraseTooManyFolders, QString::number(folders.size()));
        return std::nullopt;
    }
    if (a.MinSizeKB > a.MaxSizeKB) {
        error = CliPhrase(PhraseMinAboveMax) +
                QStringLiteral(" (%1 > %2)").arg(a.MinSizeKB).arg(a.MaxSizeKB);
        return std::nullopt;
    }
    if (a.Format == OutputFormat::Xls && a.OutputFile.isEmpty()) {
        error = CliPhrase(PhraseXlsNeedsOutput);
        return std::nullopt;
    }
    if (!a.Options.CompareContents)
        a.Options.ContentPercent = 100;
    a.Options.ImageMode = a.Images && a.Options.CompareContents;
    a.Folder1 = folders.value(0, QStringLiteral("."));
    a.Folder2 = folders.value(1);
    return a;
}

QString UsageText() {
    auto line = [](int n) { return CliPhrase(PhraseUsageFirst + n) + QLatin1Char('\n'); };
    auto option = [&](const char *name, int n) {
        return QStringLiteral("  ") + QString::fromLatin1(name).leftJustified(26) + line(n);
    };
    QString text = line(0) + line(1) + line(2) + line(3) + QLatin1Char('\n');
    text += line(4) + option("--no-contents", 5) + option("--percent N", 6) + option("", 35) +
            option("--no-incl100", 36) + option("--images", 37) + option("", 38) +
            option("--names", 7) + option("--name-percent N", 8) + option("--different-exts", 9) +
            option("--identical-size", 10) + option("--folders MODE", 11) + option("", 12) +
            option("--certain-file PATH", 13) + option("--max N", 14) +
            option("--no-subfolders", 15) + QLatin1Char('\n');
    text += line(16) + option("--include \"jpg png\"", 17) + option("--exclude \"tmp\"", 18) +
            option("--never \"exe dll\"", 19) + option("", 20) +
            option("--min-kb N, --max-kb N", 21) + QLatin1Char('\n');
    text += line(22) + option("--format text|csv|xls|json", 23) +
            option("--output FILE, -o FILE", 24) + option("--quiet, -q", 25) +
            option("--yes, -y", 26) + option("--language XX", 27) +
            option("--save-phrases FILE", 28) + option("--save-new-phrases FILE", 29) +
            QStringLiteral("  --help, --version\n\n");
    text += line(39) + line(40) + line(30) + line(31) + line(32) + line(33) + line(34);
    return text;
}
