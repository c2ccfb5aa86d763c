#pragma once
// The phrase system: every text is German in the program and is looked up by
// its text in the phrase table, whose rows hold one phrase in every language.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class TWStringList;

// Two or three capital letters; "US" is an English variant of "EN".
bool IsLanguageCode(const QString &code);
QString BaseLanguageCode(const QString &code);

struct TRootLanguage {
    QString Code;
    QString NativeName;
    QString EnglishName;
};
// The languages the program knows by name, in a fixed order.
const QList<TRootLanguage> &RootLanguages();
const TRootLanguage *FindRootLanguage(const QString &code);

class tMLSystem;

// One language of the loaded table.
struct tLngInfo {
    QString Code;
    QString BaseCode;
    const TRootLanguage *Root = nullptr;
    tMLSystem *Owner = nullptr;
};

// One row of the table: a phrase in each language, indexed like Languages.
struct tMLGroup {
    tMLGroup();
    ~tMLGroup();
    qint32 Id = 0; // 0 = the row has no number
    QStringList Texts;
    // Each language's line exactly as read, kept only for writing the table back.
    std::unique_ptr<TWStringList> SourceLines;
    QString Comment;
    tMLSystem *Owner = nullptr;

    QString Text(int index) const { return index >= 0 ? Texts.value(index) : QString(); }
    void Reset();
};

class tMLSystem {
public:
    QString SourceCode = QStringLiteral("DE");
    QString CurrentCode = QStringLiteral("DE");
    QString FallbackCode = QStringLiteral("EN");
    std::vector<std::unique_ptr<tLngInfo>> Languages;
    std::vector<std::unique_ptr<tMLGroup>> Groups;

    int IndexOfLanguage(const QString &code) const;
    // Index of the language, appending it when the table does not have it yet.
    int AddLanguage(const QString &code);
    // Frees every row and language; the codes stay.
    void Clear();

    // A row's text in a language: its base language stands in for a variant;
    // with fallback the fallback language and then the source language follow.
    QString RowText(const tMLGroup &row, int index, bool fallback) const;
};

// The one phrase table of the program; it always exists.
tMLSystem *PhraseTable();

// A unit's built-in German phrases with their ids. Item 0 is the list's name.
class TMLStringList {
public:
    explicit TMLStringList(const QString &name);
    TMLStringList(const TMLStringList &other);
    TMLStringList &operator=(const TMLStringList &other);
    ~TMLStringList();

    // A text added a second time keeps its first id.
    void Add255Obj(const QString &text, int id);
    // The German text of an id; empty when no item has it.
    QString TextOf(int id) const;
    QString Name() const { return TextOf(0); }
    // The German texts, name item excluded.
    QStringList Texts() const;

private:
    struct Item {
        QString Text;
        int Id;
    };
    QList<Item> Items;
};

// Every phrase list that exists at the moment, in the order they were built.
QList<const TMLStringList *> PhraseListRegistry();

// The part of a text that is looked up: without its first accelerator "&",
// its leading blanks and its trailing blanks, dots and colons.
struct PhraseKey {
    QString Prefix;
    QString Text;
    QString Suffix;
};
PhraseKey SplitPhraseKey(const QString &text);

QString Translate(const QString &text, const QString &from, const QString &to);
// Only the short part before a "|" is translated.
QString TranslateHint(const QString &hint, const QString &from, const QString &to);
// From the source language into the language shown now.
QString TranslateText(const QString &text);
// Translated phrase of the id, with "#13#" turned into a line break.
QString GetPhrase(const TMLStringList &list, int id);
// As GetPhrase, with every "%1" replaced by the parameter.
QString GetPhraseParam(const TMLStringList &list, int id, const QString &param);
// Text of the table's row with that number, in the language shown now.
QString GetTablePhrase(qint32 id);

// The font character set the forms were given last (0 = default). Qt fonts
// cover every script, so it is only remembered for the forms that ask.
quint8 CurrentCharset();
quint8 CharsetOfLanguage(const QString &code);

// Switches the interface: forms are translated from `from` to `to` through the
// hook the window library installs. False when the table lacks `to`.
bool SetLanguage(const QString &from, const QString &to, const QString &fallback);
void SetFormTranslationHook(std::function<void(const QString &from, const QString &to)> hook);
void SetCharsetHook(std::function<void(quint8 charset)> hook);

// System language as Windows primary and sub-language ids, read once.
int SystemPrimaryLanguage();
int SystemSubLanguage();
QString EnglishVariantCode();
QString NormalizeLanguageCode(const QString &code);
// The code the system language asks for; empty for German.
QString LanguageOfSystem(int primaryLanguageId);
// The language at start: the system's, replaced by a two-letter "Language" setting.
QString StartLanguageCode();
// Normalises the code and switches with English (Hungarian: German) as fallback.
bool SetProgramLanguage(const QString &code);

// The code behind a language menu caption ("Deutsch (German)"), or empty.
QString LanguageFromCaption(const tMLSystem *table, const QString &caption);
struct LanguageMenuEntry {
    QString Caption;
    int Index;
};
// The language menu's items, sorted by caption; variants get none.
QList<LanguageMenuEntry> LanguageMenuEntries(const tMLSystem *table, bool includeSource);
// A click in the language menu: switches and remembers the choice.
bool LanguageMenuClick(const QString &caption);

// Tests: an empty table in German, and the system language given.
void ResetPhraseSystem();
void SetSystemLanguageForTests(int primary, int sub);
