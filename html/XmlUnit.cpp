#include "html/XmlUnit.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr QChar LineSeparator(0x2028);
const QString RootTagName = u"_Root"_s;

// Blanks in the reader's sense: the blank and every control character, so a tag
// broken over several lines reads like one written on a single line.
bool IsBlank(QChar c) {
    return c.unicode() <= u' ';
}

bool IsBlankText(QStringView text) {
    return std::all_of(text.begin(), text.end(), IsBlank);
}

bool IsQuote(QChar c) {
    return c == u'"' || c == u'\'';
}

QStringView TrimBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

qsizetype SkipBlanks(QStringView text, qsizetype at) {
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    return at;
}

int DigitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (base == 16 && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (base == 16 && u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Reads the reference that the "&" at text[at] may start. On success the
// character is set and next is the position after its ";". Otherwise next is
// where the caller resumes: nothing skipped can start another reference, so
// long runs of digits are read only once.
bool ReadReference(QStringView text, qsizetype at, char16_t &character, qsizetype &next) {
    struct Entity {
        QStringView Name;
        char16_t Character;
    };
    static constexpr Entity Entities[] = {
        {u"apos;", u'\''}, {u"gt;", u'>'}, {u"lt;", u'<'}, {u"amp;", u'&'}, {u"quot;", u'"'},
    };
    const QStringView rest = text.sliced(at + 1);
    next = at + 1;
    if (rest.startsWith(u'#')) {
        qsizetype i = 1;
        int base = 10;
        if (i < rest.size() && (rest[i] == u'x' || rest[i] == u'X')) {
            base = 16;
            ++i;
        }
        const qsizetype firstDigit = i;
        // Saturates at the first value too large, so any number of digits is safe.
        uint value = 0;
        for (int digit; i < rest.size() && (digit = DigitValue(rest[i], base)) >= 0; ++i)
            value = std::min(value * uint(base) + uint(digit), 0x10000u);
        next = at + 1 + i;
        if (i == firstDigit || i == rest.size() || rest[i] != u';' || value >= 0x10000u)
            return false;
        character = char16_t(value);
        next += 1;
        return true;
    }
    for (const Entity &entity : Entities) {
        if (rest.startsWith(entity.Name)) {
            character = entity.Character;
            next = at + 1 + entity.Name.size();
            return true;
        }
    }
    return false;
}

// Cuts characters below 32 from the ends that are asked for, then replaces the
// references in a single pass.
void AppendDecoded(QString &out, QStringView text, bool cutStart, bool cutEnd) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (cutStart && begin < end && text[begin].unicode() < 32)
        ++begin;
    while (cutEnd && end > begin && text[end - 1].unicode() < 32)
        --end;
    text = text.sliced(begin, end - begin);
    out.reserve(out.size() + text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype amp = text.indexOf(u'&', i);
        if (amp < 0) {
            out.append(text.sliced(i));
            break;
        }
        out.append(text.sliced(i, amp - i));
        char16_t character = 0;
        qsizetype next = 0;
        if (ReadReference(text, amp, character, next))
            out.append(QChar(character));
        else
            out.append(text.sliced(amp, next - amp));
        i = next;
    }
}

// The text an element collects between two tags. Plain text is decoded once,
// when it is taken; CDATA sections are kept as written and never trimmed.
struct PendingText {
    QString Plain;
    // Decoded plain text and CDATA sections that came before Plain.
    QString Earlier;
    bool HasEarlier = false;
    bool NonBlank = false;

    void AddPlain(QStringView text) {
        Plain.append(text);
        if (!NonBlank && !IsBlankText(text))
            NonBlank = true;
    }

    void AddVerbatim(QStringView text) {
        AppendDecoded(Earlier, Plain, !HasEarlier, false);
        Plain.clear();
        Earlier.append(text);
        HasEarlier = true;
        NonBlank = NonBlank || !IsBlankText(text);
    }

    // An HTML line break inside running text stays in the text, so the view
    // shows the lines of one paragraph as one run.
    void AddLineBreak() {
        qsizetype end = Plain.size();
        while (end > 0 && IsBlank(Plain[end - 1]))
            --end;
        Plain.truncate(end);
        Plain.append(LineSeparator);
        Plain.append(u' ');
        NonBlank = true;
    }

    QString Take() {
        QString text = std::move(Earlier);
        AppendDecoded(text, Plain, !HasEarlier, true);
        *this = PendingText();
        return text;
    }
};

struct OpenElement {
    TKelmoXmlNode *Node;
    PendingText Text;
};

bool IsEmptyHtmlElement(QStringView name) {
    if (name.size() < 2 || name.size() > 4)
        return false;
    const QString lower = name.toString().toLower();
    return lower == u"meta" || lower == u"base" || lower == u"link" || lower == u"br" ||
           lower == u"img" || lower == u"hr";
}

bool IsLineBreak(const TKelmoXmlNode &node) {
    return node.TagName().toLower() == u"br";
}

} // namespace

TKelmoXmlNode::TKelmoXmlNode(TKelmoXmlFile *document, TKelmoXmlNode *parent)
    : ParentNode(parent), OwnerDocument(document) {}

TKelmoXmlNode::~TKelmoXmlNode() {
    FreeNodes(std::move(ChildNodes));
}

// Every node is freed only after its children were taken from it, so freeing
// never nests.
void TKelmoXmlNode::FreeNodes(std::vector<std::unique_ptr<TKelmoXmlNode>> nodes) {
    while (!nodes.empty()) {
        std::unique_ptr<TKelmoXmlNode> node = std::move(nodes.back());
        nodes.pop_back();
        for (std::unique_ptr<TKelmoXmlNode> &child : node->ChildNodes)
            nodes.push_back(std::move(child));
        node->ChildNodes.clear();
    }
}

QString TKelmoXmlNode::TagName() const {
    return TagNameIndex < 0 ? QString() : OwnerDocument->TagNames().at(TagNameIndex);
}

void TKelmoXmlNode::SetText(const QString &text) {
    NodeText = text;
    OwnerDocument->Changed = true;
}

TKelmoXmlNode *TKelmoXmlNode::FindChild(QStringView tagName) const {
    const int index = OwnerDocument->FindTagIndex(tagName);
    if (index < 0)
        return nullptr;
    for (const std::unique_ptr<TKelmoXmlNode> &child : ChildNodes)
        if (child->TagNameIndex == index)
            return child.get();
    return nullptr;
}

TKelmoXmlNode *TKelmoXmlNode::AddChild(const QString &tagName) {
    TKelmoXmlNode *child = AppendChild(tagName.isEmpty() ? -1 : OwnerDocument->TagIndex(tagName));
    OwnerDocument->Changed = true;
    return child;
}

TKelmoXmlNode *TKelmoXmlNode::AppendChild(int tagIndex) {
    ChildNodes.push_back(std::unique_ptr<TKelmoXmlNode>(new TKelmoXmlNode(OwnerDocument, this)));
    ChildNodes.back()->TagNameIndex = tagIndex;
    return ChildNodes.back().get();
}

void TKelmoXmlNode::Empty() {
    FreeNodes(std::move(ChildNodes));
    ChildNodes.clear();
    NodeText.clear();
    AttributeText.clear();
    Attributes.reset();
}

QString TKelmoXmlNode::GetAttribute(QStringView name) const {
    if (!Attributes)
        Attributes = ParseAttributes(AttributeText);
    for (const Attribute &attribute : *Attributes)
        if (QStringView(attribute.Name).compare(name, Qt::CaseInsensitive) == 0)
            return attribute.Value;
    return QString();
}

// Hand-written attributes are read leniently: blanks may stand around "=", a
// quoted value may lack its closing quote (it then runs to the end), and a name
// without a value is passed over.
QList<TKelmoXmlNode::Attribute> TKelmoXmlNode::ParseAttributes(QStringView text) {
    QList<Attribute> attributes;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while ((i = SkipBlanks(text, i)) < n) {
        const qsizetype nameStart = i;
        while (i < n && !IsBlank(text[i]) && text[i] != u'=' && !IsQuote(text[i]))
            ++i;
        const QStringView name = text.sliced(nameStart, i - nameStart);
        const qsizetype afterName = SkipBlanks(text, i);
        if (afterName < n && text[afterName] == u'=') {
            i = afterName + 1;
            const qsizetype valueStart = SkipBlanks(text, i);
            QStringView value;
            if (valueStart < n && IsQuote(text[valueStart])) {
                const qsizetype close = text.indexOf(text[valueStart], valueStart + 1);
                const qsizetype end = close < 0 ? n : close;
                value = text.sliced(valueStart + 1, end - valueStart - 1);
                i = close < 0 ? n : close + 1;
            } else if (valueStart == i) {
                while (i < n && !IsBlank(text[i]) && text[i] != u'>')
                    ++i;
                value = text.sliced(valueStart, i - valueStart);
            }
            if (!name.isEmpty())
                attributes.append({name.toString(), DecodeXmlText(value)});
        } else if (name.isEmpty() && IsQuote(text[i])) {
            const qsizetype close = text.indexOf(text[i], i + 1);
            i = close < 0 ? n : close + 1;
        }
    }
    return attributes;
}

TKelmoXmlFile::TKelmoXmlFile() : RootNode(new TKelmoXmlNode(this, nullptr)) {
    RootNode->TagNameIndex = TagIndex(RootTagName);
}

int TKelmoXmlFile::FindTagIndex(QStringView name) const {
    return TagNameIndexes.value(name.toString(), -1);
}

int TKelmoXmlFile::TagIndex(const QString &name) {
    const auto found = TagNameIndexes.constFind(name);
    if (found != TagNameIndexes.constEnd())
        return found.value();
    TagNameList.append(name);
    TagNameIndexes.insert(name, int(TagNameList.size() - 1));
    return int(TagNameList.size() - 1);
}

void TKelmoXmlFile::LoadFromText(const QString &text) {
    Error = false;
    StartElement(*RootNode, RootTagName);
    ReadContent(*RootNode, text, 0, true);
    Changed = false;
}

qsizetype TKelmoXmlFile::ParseElement(TKelmoXmlNode &node, const QString &text, qsizetype pos,
                                      const QString &startTag) {
    pos = std::clamp<qsizetype>(pos, 0, text.size());
    if (!StartElement(node, startTag))
        return pos;
    return ReadContent(node, text, pos, false);
}

// Reads the start tag into the node; false when the element has no content to read.
bool TKelmoXmlFile::StartElement(TKelmoXmlNode &node, const QString &startTag) {
    node.Empty();
    QStringView tag(startTag);
    bool hasContent = true;
    if (tag.startsWith(u'/')) {
        Error = true;
        hasContent = false;
        if (HtmlMode)
            AddChildWithText(node, u"div"_s, u"Unexpected tag: "_s + startTag);
    }
    if (tag.endsWith(u'/')) {
        hasContent = false;
        tag.chop(1);
    }
    QStringView name = tag;
    for (qsizetype i = 1; i < tag.size(); ++i) {
        if (IsBlank(tag[i])) {
            name = tag.first(i);
            node.AttributeText = TrimBlanks(tag.sliced(i + 1)).toString();
            break;
        }
    }
    node.TagNameIndex = name.isEmpty() ? -1 : TagIndex(name.toString());
    if (HtmlMode && IsEmptyHtmlElement(name))
        hasContent = false;
    return hasContent;
}

// Reads the content of node and of everything nested in it. Open elements are
// kept on a list of their own instead of the call stack, so the depth of the
// page is limited by memory alone. With toTextEnd the node's end tag is not
// honoured: the document's root always takes the whole text.
qsizetype TKelmoXmlFile::ReadContent(TKelmoXmlNode &node, QStringView text, qsizetype pos,
                                     bool toTextEnd) {
    const qsizetype n = text.size();
    std::vector<OpenElement> open;
    open.push_back({&node, {}});
    // Where the next ">" stands (n for none), remembered so that a text full of
    // "<" without ">" is searched once, not once per "<".
    qsizetype nextGreater = -1;

    // Outside HTML mode an element without attributes, text and children
    // carries nothing and is not kept.
    auto dropIfBare = [this](TKelmoXmlNode &parent) {
        const TKelmoXmlNode &child = *parent.ChildNodes.back();
        if (!HtmlMode && child.AttributeText.isEmpty() && child.NodeText.isEmpty() &&
            child.ChildNodes.empty())
            parent.ChildNodes.pop_back();
    };
    // Ends the innermost element; true when it was the outermost one.
    auto closeElement = [&]() {
        OpenElement &current = open.back();
        EndElement(*current.Node, current.Text.Take());
        open.pop_back();
        if (open.empty())
            return true;
        dropIfBare(*open.back().Node);
        return false;
    };

    while (true) {
        OpenElement &current = open.back();
        qsizetype lt = text.indexOf(u'<', pos);
        if (lt < 0)
            lt = n;
        current.Text.AddPlain(text.sliced(pos, lt - pos));
        pos = lt;
        if (pos == n) {
            while (!closeElement()) {
            }
            return n;
        }

        const QStringView rest = text.sliced(pos);
        if (rest.startsWith(u"<![CDATA[")) {
            const qsizetype start = pos + 9;
            qsizetype end = text.indexOf(u"]]>", start);
            if (end < 0)
                end = n;
            current.Text.AddVerbatim(text.sliced(start, end - start));
            pos = std::min(end + 3, n);
            continue;
        }
        if (rest.startsWith(u"<!--")) {
            const qsizetype end = text.indexOf(u"-->", pos + 4);
            pos = end < 0 ? n : end + 3;
            continue;
        }
        if (nextGreater <= pos) {
            nextGreater = text.indexOf(u'>', pos + 1);
            if (nextGreater < 0)
                nextGreater = n;
        }
        if (nextGreater == n) {
            // A "<" that no ">" follows cannot open a tag; it is kept as text.
            current.Text.AddPlain(u"<");
            ++pos;
            continue;
        }
        const QStringView tag = TrimBlanks(text.sliced(pos + 1, nextGreater - pos - 1));
        pos = nextGreater + 1;
        if (tag.startsWith(u'!') || tag.startsWith(u'?'))
            continue;

        if (tag.startsWith(u'/')) {
            const QString expected = u'/' + current.Node->TagName();
            const bool isOwnEnd =
                (tag.size() == 1 || tag == expected) && !(toTextEnd && open.size() == 1);
            if (isOwnEnd) {
                if (closeElement())
                    return pos;
                continue;
            }
            Error = true;
            if (HtmlMode)
                AddChildWithText(*current.Node, u"div"_s,
                                 u"Unexpected end tag %1, need %2"_s.arg(tag, expected));
        }

        std::unique_ptr<TKelmoXmlNode> child(new TKelmoXmlNode(this, current.Node));
        const bool hasContent = StartElement(*child, tag.toString());
        if (HtmlMode && current.Text.NonBlank) {
            if (IsLineBreak(*child)) {
                current.Text.AddLineBreak();
                continue;
            }
            AddChildWithText(*current.Node, u"span"_s, current.Text.Take());
        }
        current.Node->ChildNodes.push_back(std::move(child));
        if (hasContent)
            open.push_back({current.Node->ChildNodes.back().get(), {}});
        else
            dropIfBare(*current.Node);
    }
}

// In HTML mode text beside child elements becomes a "span" of its own, so the
// view deals only with elements that hold either text or children.
void TKelmoXmlFile::EndElement(TKelmoXmlNode &node, QString text) {
    node.NodeText += text;
    if (HtmlMode && !node.ChildNodes.empty() && !IsBlankText(node.NodeText))
        AddChildWithText(node, u"span"_s, std::exchange(node.NodeText, QString()));
}

void TKelmoXmlFile::AddChildWithText(TKelmoXmlNode &node, const QString &tagName, QString text) {
    node.AppendChild(TagIndex(tagName))->NodeText = std::move(text);
}

QString DecodeXmlText(QStringView text) {
    QString decoded;
    AppendDecoded(decoded, text, true, true);
    return decoded;
}
