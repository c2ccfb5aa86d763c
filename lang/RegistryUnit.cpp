#include "lang/RegistryUnit.h"

#include <QSettings>

namespace {
QSettings::Scope ScopeOf(bool localMachine) {
    return localMachine ? QSettings::SystemScope : QSettings::UserScope;
}

bool NeedsQuotes(const QString &item) {
    for (const QChar c : item)
        if (c.unicode() <= 32 || c == QLatin1Char(',') || c == QLatin1Char('"'))
            return true;
    return false;
}

bool IsBlank(QChar c) {
    return c.unicode() >= 1 && c.unicode() <= 32;
}
} // namespace

void RegWriteString(bool localMachine, const QString &name, const QString &text) {
    QSettings settings(ScopeOf(localMachine), QStringLiteral("Kelmo"), QStringLiteral("Dupliscan"));
    if (!settings.isWritable())
        return;
    settings.setValue(name, text);
}

QString RegReadString(bool localMachine, const QString &name) {
    const QSettings settings(ScopeOf(localMachine), QStringLiteral("Kelmo"),
                             QStringLiteral("Dupliscan"));
    const QVariant value = settings.value(name);
    if (value.typeId() != QMetaType::QString)
        return {};
    return value.toString();
}

QString CommaText(const QStringList &items) {
    QString text;
    for (qsizetype k = 0; k < items.size(); ++k) {
        if (k > 0)
            text.append(QLatin1Char(','));
        const QString &item = items[k];
        if (NeedsQuotes(item))
            text.append(QLatin1Char('"') +
                        QString(item).replace(QLatin1String("\""), QLatin1String("\"\"")) +
                        QLatin1Char('"'));
        else
            text.append(item);
    }
    return text;
}

QStringList FromCommaText(const QString &text) {
    QStringList items;
    const qsizetype n = text.size();
    qsizetype p = 0;
    auto skipBlanks = [&] {
        while (p < n && IsBlank(text[p]))
            ++p;
    };
    skipBlanks();
    while (p < n) {
        QString item;
        if (text[p] == QLatin1Char('"')) {
            ++p;
            while (p < n) {
                if (text[p] == QLatin1Char('"')) {
                    if (p + 1 < n && text[p + 1] == QLatin1Char('"')) {
                        item.append(QLatin1Char('"'));
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item.append(text[p++]);
            }
        } else {
            const qsizetype start = p;
            while (p < n && text[p].unicode() > 32 && text[p] != QLatin1Char(','))
                ++p;
            item = text.mid(start, p - start);
        }
        items.append(item);
        skipBlanks();
        if (p < n && text[p] == QLatin1Char(',')) {
            if (p + 1 == n)
                items.append(QString());
            ++p;
            skipBlanks();
        }
    }
    return items;
}
