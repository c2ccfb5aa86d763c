// Feeds any text to the markup reader and checks the tree it builds; the
// sanitizers report everything else. Built and run by run-fuzz.sh, not by ctest.
//
// The first byte chooses how the input is read, so that a plain HTML page
// (beginning with "<") is a good seed: its lowest bit set reads XML instead of
// HTML, its highest bit set takes the bytes as UTF-16 (reaching lone surrogates)
// instead of UTF-8.

#include "html/XmlUnit.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

QString InputText(const uint8_t *data, size_t size) {
    if (size > 0 && (data[0] & 0x80) != 0) {
        QString text(qsizetype(size / 2), Qt::Uninitialized);
        std::memcpy(text.data(), data, size / 2 * 2);
        return text;
    }
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Every node belongs to its document and parent and names a tag in the table;
// a tag yields at most a few nodes, so the tree stays in proportion to the text.
void CheckTree(TKelmoXmlFile &document, const TKelmoXmlNode &top, qsizetype textSize) {
    std::vector<const TKelmoXmlNode *> pending{&top};
    qsizetype nodes = 0;
    while (!pending.empty()) {
        const TKelmoXmlNode *node = pending.back();
        pending.pop_back();
        ++nodes;
        Require(node->Document() == &document);
        Require(node->TagIndex() >= -1 && node->TagIndex() < document.TagNames().size());
        node->GetAttribute(u"style");
        node->FindChild(u"span");
        for (int i = 0; i < node->ChildCount(); ++i) {
            Require(node->Child(i)->Parent() == node);
            pending.push_back(node->Child(i));
        }
    }
    Require(nodes <= 3 * textSize + 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = InputText(data, size);
    TKelmoXmlFile document;
    document.HtmlMode = size == 0 || (data[0] & 1) == 0;
    document.LoadFromText(text);
    CheckTree(document, document.Root(), text.size());

    // The HTML view reads a translated text into an element that already exists.
    if (document.Root().ChildCount() > 0) {
        TKelmoXmlNode &first = *document.Root().Child(0);
        const qsizetype start = text.size() / 3;
        const qsizetype end = document.ParseElement(first, text, start, text.left(start));
        Require(end >= start && end <= text.size());
        CheckTree(document, document.Root(), 2 * text.size() + 1);
    }
    DecodeXmlText(text);
    return 0;
}
