#include "lang/MultiLingua.h"

TMLStringList::TMLStringList(const QString &name) {
    Add255Obj(name, 0);
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

QString TranslateText(const QString &text) {
    return text;
}

QString GetPhrase(const TMLStringList &list, int id) {
    QString text = TranslateText(list.TextOf(id));
    text.replace(QLatin1String("#13#"), QLatin1String("\n"));
    return text;
}

QString GetPhraseParam(const TMLStringList &list, int id, const QString &param) {
    return GetPhrase(list, id).replace(QLatin1String("%1"), param);
}
