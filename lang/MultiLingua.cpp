#include "lang/MultiLingua.h"

#include "lang/IniDatei.h"
#include "lang/WideSLUnit.h"
#include "platform/Platform.h"

#include <algorithm>
#include <optional>

namespace {
struct PhraseState {
    tMLSystem Table;
    quint8 Charset = 0;
    std::optional<Platform::SystemLanguage> System;
    std::function<void(const QString &, const QString &)> FormHook;
    std::function<void(quint8)> CharsetHook;
};

PhraseState &State() {
    static PhraseState state;
    return state;
}

QList<const TMLStringList *> &Registry() {
    static QList<const TMLStringList *> lists;
    return lists;
}

const Platform::SystemLanguage &System() {
    PhraseState &s = State();
    if (!s.System)
        s.System = Platform::SystemDefaultLanguage();
    return *s.System;
}

bool IsStrippedAtEnd(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('.') || c == QLatin1Char(':');
}

QString ReplaceLineBreaks(QString text) {
    // Qt's labels and the terminal break lines at LF.
    return text.replace(QLatin1String("#13#"), QLatin1String("\n"));
}
} // namespace

bool IsLanguageCode(const QString &code) {
    if (code.size() < 2 || code.size() > 3)
        return false;
    return std::all_of(code.begin(), code.end(),
                       [](QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('Z'); });
}

QString BaseLanguageCode(const QString &code) {
    return code == QLatin1String("US") ? QStringLiteral("EN") : code;
}

const QList<TRootLanguage> &RootLanguages() {
    static const QList<TRootLanguage> languages = {
        {"DE", "Deutsch", "German"},      {"EN", "English", "English"},
        {"ES", "Español", "Spanish"},     {"EO", "Esperanto", "Esperanto"},
        {"FR", "Français", "French"},     {"IT", "Italiano", "Italian"},
        {"NL", "Nederlands", "Dutch"},    {"BR", "Português brasileiro", "Portuguese"},
        {"AF", "Afrikaans", "Afrikaans"}, {"SV", "Svenska", "Swedish"},
        {"HU", "Magyar", "Hungarian"},    {"PL", "Polski", "Polish"},
        {"CS", "Cesky", "Czech"},         {"TR", "Türkçe", "Turkish"},
        {"EL", "Greek", "Greek"},         {"SQ", "Shqip", "Albanian"},
        {"ZH", "Chinese", "Chinese"},     {"RU", "Russian", "Russian"},
    };
    return languages;
}

const TRootLanguage *FindRootLanguage(const QString &code) {
    for (const TRootLanguage &root : RootLanguages())
        if (root.Code == code)
            return &root;
    return nullptr;
}

tMLGroup::tMLGroup() = default;
tMLGroup::~tMLGroup() = default;

void tMLGroup::Reset() {
    Id = 0;
    SourceLines.reset();
    Texts.clear();
    Comment.clear();
}

int tMLSystem::IndexOfLanguage(const QString &code) const {
    for (size_t k = 0; k < Languages.size(); ++k)
        if (Languages[k]->Code == code)
            return int(k);
    return -1;
}

int tMLSystem::AddLanguage(const QString &code) {
    const int index = IndexOfLanguage(code);
    if (index >= 0)
        return index;
    auto info = std::make_unique<tLngInfo>();
    info->Code = code;
    info->BaseCode = BaseLanguageCode(code);
    info->Root = FindRootLanguage(info->BaseCode);
    info->Owner = this;
    Languages.push_back(std::move(info));
    return int(Languages.size()) - 1;
}

void tMLSystem::Clear() {
    Groups.clear();
    Languages.clear();
}

QString tMLSystem::RowText(const tMLGroup &row, int index, bool fallback) const {
    if (index < 0 || index >= int(Languages.size()))
        return {};
    QString text = row.Text(index);
    if (text.isEmpty()) {
        const int base = IndexOfLanguage(Languages[size_t(index)]->BaseCode);
        if (base != index)
            text = row.Text(base);
    }
    if (text.isEmpty() && fallback) {
        text = row.Text(IndexOfLanguage(FallbackCode));
        if (text.isEmpty())
            text = row.Text(IndexOfLanguage(SourceCode));
    }
    return text;
}

tMLSystem *PhraseTable() {
    return &State().Table;
}

TMLStringList::TMLStringList(const QString &name) {
    Add255Obj(name, 0);
    Registry().append(this);
}

TMLStringList::TMLStringList(const TMLStringList &other) : Items(other.Items) {
    Registry().append(this);
}

TMLStringList &TMLStringList::operator=(const TMLStringList &other) {
    Items = other.Items;
    return *this;
}

TMLStringList::~TMLStringList() {
    Registry().removeOne(this);
}

void TMLStringList::Add255Obj(const QString &text, int id) {
    for (const Item &item : Items)
        if (item.Text == text)
            return;
    Items.append({text, id});
}

QString TMLStringList::TextOf(int id) const {
    for (const Item &item : Items)
        if (item.Id == id)
            return item.Text;
    return {};
}

QStringList TMLStringList::Texts() const {
    QStringList texts;
    for (const Item &item : Items)
        if (item.Id != 0)
            texts.append(item.Text);
    return texts;
}

QList<const TMLStringList *> PhraseListRegistry() {
    return Registry();
}

PhraseKey SplitPhraseKey(const QString &text) {
    PhraseKey key;
    QString &work = key.Text;
    work = text;
    const qsizetype amp = work.indexOf(QLatin1Char('&'));
    if (amp >= 0 && amp + 1 < work.size() && work[amp + 1].unicode() > 32)
        work.remove(amp, 1);
    while (work.startsWith(QLatin1Char(' '))) {
        work.remove(0, 1);
        key.Prefix.append(QLatin1Char(' '));
    }
    while (work.size() > 1 && IsStrippedAtEnd(work.back())) {
        key.Suffix.prepend(work.back());
        work.chop(1);
    }
    return key;
}

QString Translate(const QString &text, const QString &from, const QString &to) {
    if (text.isEmpty())
        return {};
    const tMLSystem &table = State().Table;
    const int fromIndex = table.IndexOfLanguage(from);
    const int toIndex = table.IndexOfLanguage(to);
    if (fromIndex < 0 || toIndex < 0 || fromIndex == toIndex)
        return text;

    const PhraseKey key = SplitPhraseKey(text);
    const QString &work = key.Text;
    const QString &prefix = key.Prefix;
    const QString &suffix = key.Suffix;
    if (work.trimmed().isEmpty())
        return prefix + work + suffix;

    for (const auto &row : table.Groups) {
        if (row->Text(fromIndex) != work)
            continue;
        const QString translation = table.RowText(*row, toIndex, false);
        if (!translation.isEmpty())
            return prefix + translation + suffix;
    }
    const QString upper = work.toUpper();
    for (const auto &row : table.Groups) {
        if (row->Text(fromIndex).toUpper() != upper)
            continue;
        const QString translation = table.RowText(*row, toIndex, true);
        if (!translation.isEmpty())
            return prefix + translation + suffix;
    }
    return prefix + work + suffix;
}

QString TranslateHint(const QString &hint, const QString &from, const QString &to) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    if (bar == 0)
        return hint;
    if (bar > 0)
        return Translate(hint.left(bar), from, to) + hint.mid(bar);
    return Translate(hint, from, to);
}

QString TranslateText(const QString &text) {
    const tMLSystem &table = State().Table;
    return Translate(text, table.SourceCode, table.CurrentCode);
}

QString GetPhrase(const TMLStringList &list, int id) {
    return ReplaceLineBreaks(TranslateText(list.TextOf(id)));
}

QString GetPhraseParam(const TMLStringList &list, int id, const QString &param) {
    // One pass from left to right: a parameter that itself holds "%1" (a file
    // name may) is inserted as it is.
    return GetPhrase(list, id).replace(QLatin1String("%1"), param);
}

QString GetTablePhrase(qint32 id) {
    const tMLSystem &table = State().Table;
    const auto found = std::find_if(table.Groups.begin(), table.Groups.end(),
                                    [id](const auto &row) { return row->Id == id; });
    if (found == table.Groups.end())
        return {};
    const tMLGroup &row = **found;
    auto textIn = [&](const QString &code) { return row.Text(table.IndexOfLanguage(code)); };
    const QString base = BaseLanguageCode(table.CurrentCode);
    QString text = textIn(table.CurrentCode);
    if (text.isEmpty() && base != table.CurrentCode)
        text = textIn(base);
    if (text.isEmpty() && table.FallbackCode != base)
        text = textIn(table.FallbackCode);
    if (text.isEmpty() && base != QLatin1String("EN"))
        text = textIn(QStringLiteral("EN"));
    if (text.isEmpty())
        text = textIn(table.SourceCode);
    return ReplaceLineBreaks(text);
}

quint8 CurrentCharset() {
    return State().Charset;
}

quint8 CharsetOfLanguage(const QString &code) {
    if (code == QLatin1String("PL") || code == QLatin1String("CS"))
        return 238;
    if (code == QLatin1String("EL"))
        return 161;
    if (code == QLatin1String("RU"))
        return 204;
    return 0;
}

bool SetLanguage(const QString &from, const QString &to, const QString &fallback) {
    PhraseState &s = State();
    if (s.Table.Groups.empty() || s.Table.IndexOfLanguage(to) < 0)
        return false;
    if (!fallback.isEmpty())
        s.Table.FallbackCode = fallback;
    if (s.FormHook)
        s.FormHook(from, to);
    s.Table.CurrentCode = to;
    s.Charset = CharsetOfLanguage(to);
    if (s.CharsetHook)
        s.CharsetHook(s.Charset);
    return true;
}

void SetFormTranslationHook(std::function<void(const QString &, const QString &)> hook) {
    State().FormHook = std::move(hook);
}

void SetCharsetHook(std::function<void(quint8)> hook) {
    State().CharsetHook = std::move(hook);
}

int SystemPrimaryLanguage() {
    return System().Primary;
}
int SystemSubLanguage() {
    return System().Sub;
}

QString EnglishVariantCode() {
    if (SystemPrimaryLanguage() == 9 && (SystemSubLanguage() == 1 || SystemSubLanguage() == 4) &&
        PhraseTable()->IndexOfLanguage(QStringLiteral("US")) >= 0)
        return QStringLiteral("US");
    return QStringLiteral("EN");
}

QString NormalizeLanguageCode(const QString &code) {
    return code == QLatin1String("EN") ? EnglishVariantCode() : code;
}

QString LanguageOfSystem(int primaryLanguageId) {
    switch (primaryLanguageId) {
    case 4:
        return QStringLiteral("ZH");
    case 5:
        return QStringLiteral("CS");
    case 7:
        return {};
    case 8:
        return QStringLiteral("EL");
    case 10:
        return QStringLiteral("ES");
    case 12:
        return QStringLiteral("FR");
    case 14:
        return QStringLiteral("HU");
    case 16:
        return QStringLiteral("IT");
    case 19:
        return QStringLiteral("NL");
    case 21:
        return QStringLiteral("PL");
    case 22:
        return QStringLiteral("BR");
    case 28:
        return QStringLiteral("SQ");
    case 29:
        return QStringLiteral("SV");
    case 31:
        return QStringLiteral("TR");
    case 54:
        return QStringLiteral("AF");
    default:
        return QStringLiteral("EN");
    }
}

QString StartLanguageCode() {
    QString code = LanguageOfSystem(SystemPrimaryLanguage());
    const QString setting = ReadSetting(QStringLiteral("Language"));
    if (setting.size() == 2)
        code = setting;
    return code;
}

bool SetProgramLanguage(const QString &code) {
    const QString normalized = NormalizeLanguageCode(code);
    const QString fallback =
        normalized == QLatin1String("HU") ? QStringLiteral("DE") : QStringLiteral("EN");
    return SetLanguage(PhraseTable()->CurrentCode, normalized, fallback);
}

QString LanguageFromCaption(const tMLSystem *table, const QString &caption) {
    if (!table)
        return {};
    QString prepared = caption.trimmed().toUpper();
    const qsizetype paren = prepared.indexOf(QLatin1Char('('));
    if (paren >= 0)
        prepared = prepared.left(paren).trimmed();
    QString found;
    bool first = true;
    for (const auto &info : table->Languages) {
        if (!info->Root || info->Root->NativeName.toUpper() != prepared)
            continue;
        if (first) {
            found = info->Code;
            first = false;
        } else {
            // A variant and its base share the name: the base language wins.
            return info->BaseCode;
        }
    }
    if (!found.isEmpty())
        return found;
    const int index = table->IndexOfLanguage(prepared);
    return index >= 0 ? table->Languages[size_t(index)]->Code : QString();
}

QList<LanguageMenuEntry> LanguageMenuEntries(const tMLSystem *table, bool includeSource) {
    QList<LanguageMenuEntry> entries;
    if (!table)
        return entries;
    for (size_t k = 0; k < table->Languages.size(); ++k) {
        const tLngInfo &info = *table->Languages[k];
        if (!includeSource && info.Code == table->SourceCode)
            continue;
        if (info.Code != info.BaseCode)
            continue;
        QString name = info.Root ? info.Root->NativeName : info.Code;
        if (info.Root && !info.Root->EnglishName.isEmpty() && info.Root->EnglishName != name)
            name += QStringLiteral(" (") + info.Root->EnglishName + QLatin1Char(')');
        entries.append({name, int(k)});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
        return a.Caption.compare(b.Caption, Qt::CaseInsensitive) < 0;
    });
    return entries;
}

bool LanguageMenuClick(const QString &caption) {
    QString text = caption;
    const qsizetype amp = text.indexOf(QLatin1Char('&'));
    if (amp >= 0)
        text.remove(amp, 1);
    const QString code = LanguageFromCaption(PhraseTable(), text);
    if (code.isEmpty() || !SetProgramLanguage(code))
        return false;
    WriteSetting(QStringLiteral("Language"), BaseLanguageCode(PhraseTable()->CurrentCode));
    return true;
}

void ResetPhraseSystem() {
    PhraseState &s = State();
    s.Table.Clear();
    s.Table.SourceCode = QStringLiteral("DE");
    s.Table.CurrentCode = QStringLiteral("DE");
    s.Table.FallbackCode = QStringLiteral("EN");
    s.Charset = 0;
    s.System.reset();
}

void SetSystemLanguageForTests(int primary, int sub) {
    State().System = Platform::SystemLanguage{primary, sub};
}
