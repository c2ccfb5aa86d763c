#pragma once
// The program's own markup reader. The tips pages are hand-written HTML, so in
// HTML mode the reader never gives up: misplaced tags set the error flag and show
// up as "div" children with a message, missing end tags close at the end of the
// text, and unknown constructs become text or are skipped.
//
// Positions in a text count from 0. Any input is safe: the reader works without
// recursion and in time proportional to the text, however deep or long it is.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <optional>
#include <vector>

class TKelmoXmlFile;

class TKelmoXmlNode {
public:
    // Frees the subtree without recursion, so a deeply nested page cannot
    // exhaust the stack.
    ~TKelmoXmlNode();
    TKelmoXmlNode(const TKelmoXmlNode &) = delete;
    TKelmoXmlNode &operator=(const TKelmoXmlNode &) = delete;

    // Index of the tag name in the document's table, -1 for none.
    int TagIndex() const { return TagNameIndex; }
    QString TagName() const;
    // The start tag's text after the tag name, as written.
    const QString &RawAttributes() const { return AttributeText; }
    // The decoded value; empty if absent. Names are compared without regard to case.
    QString GetAttribute(QStringView name) const;

    const QString &Text() const { return NodeText; }
    // Replacing a text after loading marks the document changed.
    void SetText(const QString &text);

    int ChildCount() const { return int(ChildNodes.size()); }
    TKelmoXmlNode *Child(int index) const { return ChildNodes[std::size_t(index)].get(); }
    // The first child with exactly that tag name, or nullptr.
    TKelmoXmlNode *FindChild(QStringView tagName) const;
    // Appends a new child and marks the document changed.
    TKelmoXmlNode *AddChild(const QString &tagName);

    TKelmoXmlNode *Parent() const { return ParentNode; }
    TKelmoXmlFile *Document() const { return OwnerDocument; }

private:
    friend class TKelmoXmlFile;
    struct Attribute {
        QString Name;
        QString Value;
    };

    TKelmoXmlNode(TKelmoXmlFile *document, TKelmoXmlNode *parent);
    TKelmoXmlNode *AppendChild(int tagIndex);
    void Empty();
    static void FreeNodes(std::vector<std::unique_ptr<TKelmoXmlNode>> nodes);
    static QList<Attribute> ParseAttributes(QStringView text);

    int TagNameIndex = -1;
    QString AttributeText;
    // Built from AttributeText on first use.
    mutable std::optional<QList<Attribute>> Attributes;
    QString NodeText;
    std::vector<std::unique_ptr<TKelmoXmlNode>> ChildNodes;
    TKelmoXmlNode *ParentNode;
    TKelmoXmlFile *OwnerDocument;
};

class TKelmoXmlFile {
public:
    TKelmoXmlFile();
    TKelmoXmlFile(const TKelmoXmlFile &) = delete;
    TKelmoXmlFile &operator=(const TKelmoXmlFile &) = delete;

    // Set before loading to read hand-written HTML.
    bool HtmlMode = false;
    // A misplaced tag was met during the last parse.
    bool Error = false;
    // Nodes were added or texts replaced since loading.
    bool Changed = false;

    // The top-level elements become the children of the root ("_Root").
    void LoadFromText(const QString &text);
    // Reads the element that the start tag (the text between "<" and ">") opens,
    // with its content beginning at pos, into node; returns the position after
    // the element's end, or the text's length when its end tag is missing.
    qsizetype ParseElement(TKelmoXmlNode &node, const QString &text, qsizetype pos,
                           const QString &startTag);

    TKelmoXmlNode &Root() { return *RootNode; }
    // Tag names are case-sensitive; a node refers to its name by index here.
    const QStringList &TagNames() const { return TagNameList; }
    int FindTagIndex(QStringView name) const;
    // The name's index, added to the table if new.
    int TagIndex(const QString &name);

private:
    qsizetype ReadContent(TKelmoXmlNode &node, QStringView text, qsizetype pos, bool toTextEnd);
    bool StartElement(TKelmoXmlNode &node, const QString &startTag);
    void EndElement(TKelmoXmlNode &node, QString text);
    void AddChildWithText(TKelmoXmlNode &node, const QString &tagName, QString text);

    QStringList TagNameList;
    QHash<QString, int> TagNameIndexes;
    std::unique_ptr<TKelmoXmlNode> RootNode;
};

// Characters below 32 are cut from both ends, then numeric character references
// below 65536 and the XML entities (&apos; &gt; &lt; &amp; &quot;) are replaced
// in one pass, so "&amp;lt;" becomes "&lt;". Other entities stay as written.
QString DecodeXmlText(QStringView text);
