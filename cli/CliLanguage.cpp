#include "cli/CliLanguage.h"

#include "cli/CliPhrases.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"

QString LanguageArgument(const QStringList &arguments) {
    QString language;
    for (qsizetype k = 0; k < arguments.size(); ++k) {
        const QString &arg = arguments[k];
        if (arg == QLatin1String("--"))
            break;
        if (arg == QLatin1String("--language") && k + 1 < arguments.size())
            language = arguments[++k];
        else if (arg.startsWith(QLatin1String("--language=")))
            language = arg.mid(11);
    }
    return language;
}

bool SetupCliLanguage(const QString &requested, bool keepLines, QString &error) {
    LoadPhraseTable(keepLines);
    const QString start = StartLanguageCode();
    if (!start.isEmpty())
        SetProgramLanguage(start);
    if (requested.isEmpty())
        return true;
    const QString code = requested.trimmed().toUpper();
    if (code == PhraseTable()->CurrentCode || code == BaseLanguageCode(PhraseTable()->CurrentCode))
        return true;
    if (!IsLanguageCode(code) || !SetProgramLanguage(code)) {
        QStringList known;
        for (const auto &info : PhraseTable()->Languages)
            known.append(info->Code);
        error = CliPhraseParam(PhraseUnknownLanguage, requested) + QStringLiteral(" (") +
                known.join(QLatin1Char(' ')) + QLatin1Char(')');
        return false;
    }
    return true;
}

bool SaveCliPhrases(const QString &path, bool missingOnly, QString &error) {
    QString reason;
    if (SavePhrases(PhraseTable(), missingOnly, path, &reason))
        return true;
    error = CliPhraseParam(PhraseCannotWrite, path) + QStringLiteral(": ") + reason;
    return false;
}
