#pragma once
// Phrase lists: each unit that shows messages keeps its German texts with ids,
// and the texts are translated when they are shown.

#include <QList>
#include <QString>

class TMLStringList {
public:
    // The list's name is its item 0, which is never shown.
    explicit TMLStringList(const QString &name);

    // A text added a second time keeps its first id.
    void Add255Obj(const QString &text, int id);
    // The German text of an id; empty when no item has it.
    QString TextOf(int id) const;
    QString Name() const { return TextOf(0); }

private:
    struct Item {
        QString Text;
        int Id;
    };
    QList<Item> Items;
};

// Text of the current language for the German text.
QString TranslateText(const QString &text);
// Translated phrase of the id, with "#13#" turned into a line break.
QString GetPhrase(const TMLStringList &list, int id);
// As GetPhrase, with every "%1" replaced by the parameter.
QString GetPhraseParam(const TMLStringList &list, int id, const QString &param);
