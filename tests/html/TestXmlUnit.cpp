// The lenient markup reader behind the tips pages.

#include "html/XmlUnit.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// tag{raw attributes}"text"[children], with "-" for a node without tag name.
QString Dump(const TKelmoXmlNode &node) {
    QString out = node.TagIndex() < 0 ? u"-"_s : node.TagName();
    if (!node.RawAttributes().isEmpty())
        out += u'{' + node.RawAttributes() + u'}';
    if (!node.Text().isEmpty())
        out += u'"' + node.Text() + u'"';
    if (node.ChildCount() > 0) {
        QStringList children;
        for (int i = 0; i < node.ChildCount(); ++i)
            children << Dump(*node.Child(i));
        out += u'[' + children.join(u',') + u']';
    }
    return out;
}

// The innermost node of the first-child chain and its depth, found without recursion.
int FirstChildDepth(const TKelmoXmlNode &root, const TKelmoXmlNode **innermost) {
    int depth = 0;
    const TKelmoXmlNode *node = &root;
    while (node->ChildCount() > 0) {
        node = node->Child(0);
        ++depth;
    }
    *innermost = node;
    return depth;
}

} // namespace

class TestXmlUnit : public QObject {
    Q_OBJECT

private slots:
    void readsTree_data() {
        QTest::addColumn<bool>("html");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tree");
        QTest::addColumn<bool>("error");
        const QString ls(QChar(0x2028));
        auto row = [](const char *name, bool html, const QString &text, const QString &tree,
                      bool error = false) { QTest::newRow(name) << html << text << tree << error; };

        row("text beside a child becomes a span", true, u"<div>x<b>y</b>z</div>"_s,
            u"_Root[div[span\"x\",b\"y\",span\"z\"]]"_s);
        row("br inside text is a line separator", true, u"<div>a  \n<br>b<BR/>c</div>"_s,
            u"_Root[div\"a"_s + ls + u" b"_s + ls + u" c\"]"_s);
        row("br without text before it stays", true, u"<div><br>b</div>"_s,
            u"_Root[div[br,span\"b\"]]"_s);
        row("html empty elements", true, u"<p>a<img src=x.png>b<HR>c<META charset=x><link></p>"_s,
            u"_Root[p[span\"a\",img{src=x.png},span\"b\",HR,span\"c\",META{charset=x},link]]"_s);
        row("missing end tags close at the end", true, u"<div><p>a"_s, u"_Root[div[p\"a\"]]"_s);
        row("wrong end tag", true, u"<div>a</x>b</div>"_s,
            u"_Root[div[div\"Unexpected end tag /x, need /div\",span\"a\","
            u"/x[div\"Unexpected tag: /x\"],span\"b\"]]"_s,
            true);
        row("unclosed p before its parent's end", true, u"<div><p>a</div>"_s,
            u"_Root[div[p[div\"Unexpected end tag /div, need /p\",span\"a\","
            u"/div[div\"Unexpected tag: /div\"]]]]"_s,
            true);
        row("stray end tag at the top", true, u"</p>x"_s,
            u"_Root[div\"Unexpected end tag /p, need /_Root\",/p[div\"Unexpected tag: /p\"],span\"x\"]"_s,
            true);
        row("bare end tag closes the element", true, u"<div>a</>b"_s,
            u"_Root[div\"a\",span\"b\"]"_s);
        row("unclosed quote ends at the tag's end", true,
            u"<div style=\"margin-bottom:2px;><b>x</b></div>"_s,
            u"_Root[div{style=\"margin-bottom:2px;}[b\"x\"]]"_s);
        row("comments, doctype and processing instructions", true,
            u"<!DOCTYPE html><?xml version=\"1.0\"?><p>a<!-- <b>no</b> -->b</p>"_s,
            u"_Root[p\"ab\"]"_s);
        row("cdata is kept as written", true, u"<p>&lt;<![CDATA[ <b>&lt;</b> ]]>&lt;\n</p>"_s,
            u"_Root[p\"< <b>&lt;</b> <\"]"_s);
        row("texts are decoded once", true, u"<p>\t&amp;lt; &#65;&nbsp;&#10;</p>"_s,
            u"_Root[p\"&lt; A&nbsp;\n\"]"_s);
        row("truncated start tag", true, u"<div>a<b class=\"x"_s, u"_Root[div\"a<b class=\"x\"]"_s);
        row("surrogates pass through", true, u"<p>\xDC00\xD800</p><\xD800>&#xD800;"_s,
            u"_Root[p\"\xDC00\xD800\",\xD800\"\xD800\"]"_s);

        row("xml: bare elements are dropped, texts join", false,
            u"<a><b/><c x=\"1\"/>t<d>u</d>v</a>"_s, u"_Root[a\"tv\"[c{x=\"1\"},d\"u\"]]"_s);
        row("xml: br is an ordinary element", false, u"<a>x<br>y</a>"_s,
            u"_Root[a\"x\"[br\"y\"]]"_s, true);
        row("xml: wrong end tag adds no message", false, u"<a>x</b>y</a>"_s, u"_Root[a\"xy\"]"_s,
            true);
    }

    void readsTree() {
        QFETCH(bool, html);
        QFETCH(QString, text);
        TKelmoXmlFile document;
        document.HtmlMode = html;
        document.LoadFromText(text);
        QTEST(Dump(document.Root()), "tree");
        QTEST(document.Error, "error");
    }

    void readsAttributes_data() {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::newRow("double and single quotes") << u"p a='x' b=\"y z\""_s << u"b"_s << u"y z"_s;
        QTest::newRow("names ignore case") << u"p Style=x"_s << u"STYLE"_s << u"x"_s;
        QTest::newRow("name without value") << u"p checked a=1"_s << u"checked"_s << QString();
        QTest::newRow("after a quoted text") << u"p \"x\" a=1"_s << u"a"_s << u"1"_s;
        QTest::newRow("first of two") << u"p a=1 a=2"_s << u"a"_s << u"1"_s;
        QTest::newRow("unclosed quote") << u"p a=\"x y"_s << u"a"_s << u"x y"_s;
        QTest::newRow("decoded") << u"p t=\"&lt;&amp;amp;&#x41;&nbsp;\""_s << u"t"_s
                                 << u"<&amp;A&nbsp;"_s;
    }

    void readsAttributes() {
        QFETCH(QString, tag);
        QFETCH(QString, name);
        TKelmoXmlFile document;
        document.HtmlMode = true;
        document.LoadFromText(u'<' + tag + u'>');
        QVERIFY(document.Root().ChildCount() == 1);
        QTEST(document.Root().Child(0)->GetAttribute(name), "value");
    }

    void decodesReferences_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("one pass") << u"&amp;lt;&#38;gt;"_s << u"&lt;&gt;"_s;
        QTest::newRow("numbers") << u"&#65;&#x41;&#X61;&#0065;"_s << u"AAaA"_s;
        QTest::newRow("highest and too high")
            << u"&#65535;&#65536;&#x10000;"_s << QString(QChar(0xFFFF)) + u"&#65536;&#x10000;"_s;
        QTest::newRow("malformed") << u"&#;&#x;&#12&#65;&#1a;&"_s << u"&#;&#x;&#12A&#1a;&"_s;
        QTest::newRow("any number of digits")
            << u"&#"_s + QString(5000, u'9') + u';' << u"&#"_s + QString(5000, u'9') + u';';
        QTest::newRow("control characters at the ends") << u"\t\r\n x \x01"_s << u" x "_s;
        QTest::newRow("control characters from references stay")
            << u"&#0;&#10;&#13;"_s << QString(QChar(0)) + u"\n\r"_s;
    }

    void decodesReferences() {
        QFETCH(QString, text);
        QTEST(DecodeXmlText(text), "decoded");
    }

    void deepNestingIsReadAndFreedWithoutRecursion_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("depth");
        constexpr int Depth = 10000;
        QTest::newRow("closed") << u"<b>"_s.repeated(Depth) + u'x' + u"</b>"_s.repeated(Depth)
                                << Depth;
        QTest::newRow("unclosed") << u"<b>"_s.repeated(Depth) + u'x' << Depth;
        // The message about the first wrong end tag is the innermost element's first child.
        QTest::newRow("wrong end tags")
            << u"<b>"_s.repeated(Depth) + u"</i>"_s.repeated(Depth) << Depth + 1;
    }

    void deepNestingIsReadAndFreedWithoutRecursion() {
        QFETCH(QString, text);
        auto document = std::make_unique<TKelmoXmlFile>();
        document->HtmlMode = true;
        document->LoadFromText(text);
        const TKelmoXmlNode *innermost = nullptr;
        QTEST(FirstChildDepth(document->Root(), &innermost), "depth");
        QVERIFY(!innermost->Text().isEmpty());
        document->LoadFromText(text);
        document.reset();
    }

    void longTextsAreReadInOnePass_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rootText");
        constexpr int Size = 1 << 20;
        QTest::newRow("plain text") << QString(Size, u'a') << QString(Size, u'a');
        QTest::newRow("line breaks")
            << u"a<br>"_s.repeated(Size / 5) << (u"a"_s + QChar(0x2028) + u' ').repeated(Size / 5);
        QTest::newRow("comment") << u"x<!--"_s + QString(Size, u'-') << u"x"_s;
        // Blanks are kept before every child, so they must not be searched again each time.
        QTest::newRow("blanks before many children")
            << QString(Size / 2, u' ') + u"<i></i>"_s.repeated(Size / 14)
            << QString(Size / 2, u' ');
    }

    void longTextsAreReadInOnePass() {
        QFETCH(QString, text);
        TKelmoXmlFile document;
        document.HtmlMode = true;
        document.LoadFromText(text);
        QTEST(document.Root().Text(), "rootText");
    }

    void hostileInputsNeverBreakTheTree_data() {
        QTest::addColumn<QString>("text");
        for (const char16_t *text : {u"<", u"</", u"<!", u"<!--", u"<![CDATA[", u"<?", u"<a b='",
                                     u"&#", u"&#x", u"<a\xD800 b=\xDC00>\xDBFF", u"<>", u"</>",
                                     u"<///>", u"<a/b/>", u"<br></br>", u"<a =>"})
            QTest::newRow(QString::fromUtf16(text).toUtf8().constData())
                << QString::fromUtf16(text);
    }

    // Every node belongs to its document and parent and names a tag in the table.
    void hostileInputsNeverBreakTheTree() {
        QFETCH(QString, text);
        for (bool html : {false, true}) {
            TKelmoXmlFile document;
            document.HtmlMode = html;
            document.LoadFromText(text);
            QList<const TKelmoXmlNode *> pending{&document.Root()};
            while (!pending.isEmpty()) {
                const TKelmoXmlNode *node = pending.takeLast();
                QVERIFY(node->Document() == &document);
                QVERIFY(node->TagIndex() >= -1 && node->TagIndex() < document.TagNames().size());
                node->GetAttribute(u"b");
                for (int i = 0; i < node->ChildCount(); ++i) {
                    QVERIFY(node->Child(i)->Parent() == node);
                    pending << node->Child(i);
                }
            }
        }
    }

    void parseElementReadsOneElementFromAPosition() {
        TKelmoXmlFile document;
        document.HtmlMode = true;
        document.LoadFromText(u"<p>old<b>x</b></p>"_s);
        TKelmoXmlNode &p = *document.Root().Child(0);
        const QString text = u"ab new <i>text</i></p>rest"_s;
        QCOMPARE(document.ParseElement(p, text, 3, u"p class=n"_s), text.indexOf(u"rest"));
        QCOMPARE(Dump(p), u"p{class=n}[span\"new \",i\"text\"]"_s);
        QCOMPARE(document.ParseElement(p, text, 3, u"br"_s), 3);
        QCOMPARE(Dump(p), u"br"_s);
        QCOMPARE(document.ParseElement(p, text, 99, u"p"_s), text.size());
    }

    void changesAreTrackedAfterLoading() {
        TKelmoXmlFile document;
        document.LoadFromText(u"<a x='1'><B y='2'/><b y='3'/></a>"_s);
        QVERIFY(!document.Changed);
        TKelmoXmlNode &a = *document.Root().FindChild(u"a");
        QCOMPARE(a.FindChild(u"b")->GetAttribute(u"y"), u"3"_s);
        QVERIFY(!a.FindChild(u"c"));
        a.Child(0)->SetText(u"t"_s);
        QVERIFY(document.Changed);
        document.LoadFromText(u"<a/></b>"_s);
        QVERIFY(!document.Changed && document.Error);
        document.LoadFromText(QString());
        QVERIFY(!document.Error && document.Root().ChildCount() == 0);
        QCOMPARE(document.Root().TagName(), u"_Root"_s);
    }
};

QTEST_GUILESS_MAIN(TestXmlUnit)
#include "TestXmlUnit.moc"
