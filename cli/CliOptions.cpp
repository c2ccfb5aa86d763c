#include "cli/CliOptions.h"

namespace {
bool ParseNumber(const QString &text, qint64 low, qint64 high, qint64 &value) {
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok && value >= low && value <= high;
}

QString RangeError(const QString &option, qint64 low, qint64 high, const QString &given) {
    return QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\"")
        .arg(option)
        .arg(low)
        .arg(high)
        .arg(given);
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
                error = QStringLiteral("%1 needs a value").arg(name);
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
                error =
                    QStringLiteral("--folders takes all, different or different-bases, not \"%1\"")
                        .arg(text);
                return std::nullopt;
            }
        } else if (name == QLatin1String("--certain-file")) {
            if (!value(a.Options.CertainFile))
                return std::nullopt;
            if (a.Options.CertainFile.trimmed().isEmpty()) {
                error = QStringLiteral("--certain-file needs a file name");
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
                error =
                    QStringLiteral("--format takes text, csv, xls or json, not \"%1\"").arg(text);
                return std::nullopt;
            }
        } else if (name == QLatin1String("--output") || name == QLatin1String("-o")) {
            if (!value(a.OutputFile))
                return std::nullopt;
            if (a.OutputFile.isEmpty()) {
                error = QStringLiteral("--output needs a file name");
                return std::nullopt;
            }
        } else if (name == QLatin1String("--quiet") || name == QLatin1String("-q")) {
            a.Quiet = true;
        } else if (name == QLatin1String("--yes") || name == QLatin1String("-y")) {
            a.AssumeYes = true;
        } else {
            error = QStringLiteral("unknown option \"%1\" (see --help)").arg(arg);
            return std::nullopt;
        }
    }
    if (a.ShowHelp || a.ShowVersion)
        return a;
    if (folders.size() > 2) {
        error = QStringLiteral("at most two folders can be searched, %1 were given")
                    .arg(folders.size());
        return std::nullopt;
    }
    if (a.MinSizeKB > a.MaxSizeKB) {
        error = QStringLiteral("--min-kb %1 is larger than --max-kb %2")
                    .arg(a.MinSizeKB)
                    .arg(a.MaxSizeKB);
        return std::nullopt;
    }
    if (a.Format == OutputFormat::Xls && a.OutputFile.isEmpty()) {
        error = QStringLiteral("--format xls needs --output FILE");
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
    return QStringLiteral(
        "Usage: dupliscan-cli [options] [FOLDER [FOLDER2]]\n"
        "Finds duplicate or similar files in FOLDER (the current folder by default)\n"
        "and prints them in blocks: the first path of a block is its head, the others\n"
        "match it.\n"
        "Nothing is ever changed or deleted.\n"
        "\n"
        "What to compare:\n"
        "  --no-contents           do not compare contents (use with --names)\n"
        "  --percent N             content match in percent, 60..100 (default 100);\n"
        "                          below 100 finds similar files by twenty blocks\n"
        "  --no-incl100            with --percent below 100: leave out identical copies\n"
        "  --images                compare pictures (jpg jpeg jpe gif bmp tif tiff png\n"
        "                          unless --include is given); needs --percent 99 or less\n"
        "  --names                 compare file names\n"
        "  --name-percent N        name similarity in percent, 60..100 (default 80)\n"
        "  --different-exts        names may have different extensions\n"
        "  --identical-size        names only match for files of equal size\n"
        "  --folders MODE          all (default), different (pairs from different\n"
        "                          folders), different-bases (from FOLDER and FOLDER2)\n"
        "  --certain-file PATH     only look for the twins of this one file\n"
        "  --max N                 stop after N duplicates (default 0 = no limit)\n"
        "  --no-subfolders         do not search subfolders\n"
        "\n"
        "Which files:\n"
        "  --include \"jpg png\"     only these extensions\n"
        "  --exclude \"tmp\"         not these (ignored with --include)\n"
        "  --never \"exe dll\"       never these (default: exe dll com drv vxd 386\n"
        "                          ocx sys inf ini lnk; \"\" allows all)\n"
        "  --min-kb N, --max-kb N  size limits in KB (0..2097151)\n"
        "\n"
        "Output:\n"
        "  --format text|csv|xls|json   default text; xls needs --output\n"
        "  --output FILE, -o FILE       write there instead of standard output\n"
        "  --quiet, -q                  no progress or notes on standard error\n"
        "  --yes, -y                    answer yes to questions about system folders\n"
        "                               and nested folders\n"
        "  --help, --version\n"
        "\n"
        "Below 100 % each text line starts with the file's match in percent and a tab;\n"
        "a block's head, which the others matched, shows \">\" instead.\n"
        "In text output a backslash in a name is written \\\\, a newline \\n, a tab \\t,\n"
        "other control characters and bytes that are not UTF-8 as \\xHH.\n"
        "Exit status: 0 search completed, 1 search could not run, 2 bad usage,\n"
        "130 stopped with Ctrl+C (the blocks found so far are printed).\n");
}
