// The view of the tips pages: lengths, colours, entities and styles as the
// pages write them, the texts taken from the phrase table, and the shipped
// pages in every language of the shipped table.

#include "TestSupport.h"
#include "html/HTMLViewUnit.h"
#include "html/TipsPages.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"

#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>

using namespace Qt::StringLiterals;
using namespace TestSupport;

namespace {
void LoadTable(const QString &text) {
    ResetPhraseSystem();
    LoadPhraseText(PhraseTable(), text, false);
}

void LoadShippedTable() {
    LoadTable(QString::fromUtf8(
        ReadWholeFile(QStringLiteral(DUPLISCAN_SOURCE_DIR "/lang/Dupliscan.lng.txt"))));
}

// What a reader sees: blanks of every kind as one blank.
QString Readable(QString text) {
    text.replace(QChar(0x00A0), u' ').replace(QChar(0x2028), u' ').remove(QChar(0x2060));
    return text.simplified();
}

// The paragraphs of the page, each as its text reads.
QStringList Paragraphs(const QTextDocument &page) {
    QStringList paragraphs;
    for (QTextBlock block = page.begin(); block.isValid(); block = block.next())
        if (const QString text = Readable(block.text()); !text.isEmpty())
            paragraphs << text;
    return paragraphs;
}

// The format of the first character of the text on the page.
QTextCharFormat FormatAt(const QTextDocument &page, const QString &text) {
    QTextCursor found =
        page.find(text, 0, QTextDocument::FindCaseSensitively | QTextDocument::FindWholeWords);
    if (found.isNull())
        return {};
    QTextCursor at(found.document());
    at.setPosition(found.selectionStart() + 1);
    return at.charFormat();
}

QString Describe(const THtmlBoxStyle &s) {
    return u"m%1,%2,%3,%4 f%5%6%7%8%9 c%10 bg%11 w%12"_s.arg(s.MarginLeft)
        .arg(s.MarginTop)
        .arg(s.MarginRight)
        .arg(s.MarginBottom)
        .arg(s.FontPoints)
        .arg(s.Bold ? "b" : "")
        .arg(s.Italic ? "i" : "")
        .arg(s.Underline ? "u" : "")
        .arg(s.StrikeOut ? "s" : "")
        .arg(s.FontColor, 0, 16)
        .arg(s.Background, 0, 16)
        .arg(s.Width.IsSet()
                 ? QString::number(s.Width.Value) + u"/"_s + QString::number(s.Width.Kind)
                 : u"-"_s);
}

const QString SmallTable = u"// ID=7;\nDE=Große Fische\nEN=Big fish\nHU=Nagy halak\n\n"
                           "// ID=8;\nDE=Erst <b>groß</b>, dann &auml;&nbsp;klein<br>danach\n"
                           "EN=First <b>big</b>, then &auml;&nbsp;small<br>after\n\n"
                           "DE=Tipps\nEN=Tips\nHU=Tippek\nFR=Astuces\n\n"_s;
} // namespace

class TestHTMLViewUnit : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { ResetPhraseSystem(); }

    void lengths_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("unit");
        QTest::addColumn<int>("pixels"); // -1: none
        // Inside a box 300 wide with margins of 5, at 10 points.
        auto row = [](const char *text, HtmlLength::Unit unit, int pixels) {
            QTest::newRow(text) << QString::fromUtf8(text) << int(unit) << pixels;
        };
        row("5px", HtmlLength::Px, 5);
        row("100%", HtmlLength::Percent, 290);
        row("0%", HtmlLength::Percent, -1);
        row("4pt", HtmlLength::Pt, 8);
        row("1.5 PX", HtmlLength::Px, 2);
        row("7999px", HtmlLength::Px, 7999);
        row("8000px", HtmlLength::NotSet, -1);
        row("1,5px", HtmlLength::NotSet, -1);
    }
    void lengths() {
        QFETCH(QString, text);
        QFETCH(int, unit);
        QFETCH(int, pixels);
        const HtmlLength length = ParseHtmlLength(text);
        QCOMPARE(int(length.Kind), unit);
        QCOMPARE(HtmlLengthPixels(length, 290, 10).value_or(-1), pixels);
    }

    void entities_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("page entities")
            << u"&bdquo;x&ldquo;&nbsp;&auml;&Auml;"_s << u"„x“\u00a0äÄ"_s;
        QTest::newRow("unknown stays") << u"&unknown; &AUML;"_s << u"&unknown; &AUML;"_s;
        QTest::newRow("not a name") << u"a&b & nbsp; &nbsp &#38;"_s << u"a&b & nbsp; &nbsp &#38;"_s;
        QTest::newRow("one pass") << u"&amp;auml;"_s << u"&auml;"_s;
    }
    void entities() {
        QFETCH(QString, text);
        QFETCH(QString, decoded);
        QCOMPARE(DecodeHtmlEntities(text), decoded);
    }

    void styles_data() {
        QTest::addColumn<QString>("declarations");
        QTest::addColumn<QString>("style");
        // From a plain box at 10 points, percentages of 290.
        QTest::newRow("box") << u"background-color:#FDEFCF; margin:5px; width:100%;"_s
                             << u"m5,5,5,5 f10 c0 bgcfeffd w100/2"_s;
        QTest::newRow("half em") << u"font-size:0.5em"_s << u"m0,0,0,0 f5 c0 bg-1 w-"_s;
        QTest::newRow("too big") << u"font-size:150pt"_s << u"m0,0,0,0 f10 c0 bg-1 w-"_s;
        QTest::newRow("colour") << u"color:#0000FF"_s << u"m0,0,0,0 f10 cff0000 bg-1 w-"_s;
        QTest::newRow("colours by name or not hex")
            << u"color:blue; background-color:#12345G"_s << u"m0,0,0,0 f10 c0 bg-1 w-"_s;
        QTest::newRow("one margin") << u" MARGIN-BOTTOM : 2px ;;"_s << u"m0,0,0,2 f10 c0 bg-1 w-"_s;
        QTest::newRow("font") << u"font-weight:bold;font-style:italic;text-decoration:underline"_s
                              << u"m0,0,0,0 f10biu c0 bg-1 w-"_s;
        QTest::newRow("width in em is automatic") << u"width:3em"_s << u"m0,0,0,0 f10 c0 bg-1 w-"_s;
        QTest::newRow("nonsense") << u"margin; :5px; margin:x; position:absolute; left:3px"_s
                                  << u"m0,0,0,0 f10 c0 bg-1 w-"_s;
    }
    void styles() {
        QFETCH(QString, declarations);
        QFETCH(QString, style);
        THtmlBoxStyle box;
        ApplyCssDeclarations(box, declarations, 10, 290);
        QCOMPARE(Describe(box), style);
    }

    // Rows are found by number, texts by their German words; a language
    // without the row shows its fallback's (Hungarian's is German).
    void pageTakesItsTextsFromTheTable_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("paragraphs");
        QTest::addColumn<QString>("boldWord");
        const QString german = u"Erst groß, dann ä klein danach"_s;
        const QString english = u"First big, then ä small after"_s;
        QTest::newRow("Hungarian falls back to German")
            << u"HU"_s << QStringList{u"Tippek"_s, u"Nagy halak"_s, german, u"Tippek"_s, u"kept"_s}
            << u"groß"_s;
        QTest::newRow("French falls back to English")
            << u"FR"_s << QStringList{u"Astuces"_s, u"Big fish"_s, english, u"Astuces"_s, u"kept"_s}
            << u"big"_s;
    }
    void pageTakesItsTextsFromTheTable() {
        QFETCH(QString, language);
        QFETCH(QStringList, paragraphs);
        QFETCH(QString, boldWord);
        LoadTable(SmallTable);
        QVERIFY(SetProgramLanguage(language));
        THtmlView view;
        view.LoadHtml(u"<html><body><center><b translate=\"TEXT\">Tipps</b></center>"
                      "<div translate=\"id=7\">old</div><div>{{phr=8}}</div>"
                      "<div>{{PHR=text}}Tipps</div><div translate=\"id=99\">kept</div>"
                      "</body></html>"_s);
        QVERIFY(!view.Source().Error);
        QCOMPARE(Paragraphs(view.Document()), paragraphs);
        // The row's markup and line break survive the translation.
        QCOMPARE(FormatAt(view.Document(), boldWord).fontWeight(), int(QFont::Bold));
        QVERIFY(view.Document().toRawText().contains(QChar(0x2028)));
    }

    void pagesThatGoWrong_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("paragraphs");
        QTest::addColumn<bool>("error");
        QTest::newRow("no html") << u"<body>x</body>"_s << QStringList{} << false;
        QTest::newRow("text beside a block")
            << u"<html><body><div>before<div>inside</div>after</div></body></html>"_s
            << QStringList{u"before"_s, u"inside"_s, u"after"_s} << false;
        QTest::newRow("stray end tag in a translation")
            << u"<html><body><div>{{phr=7}}</div></body></html>"_s << QStringList{u"a"_s} << true;
        QTest::newRow("misplaced end tag shows")
            << u"<html><body><div>a</p></div></body></html>"_s
            << QStringList{u"Unexpected end tag /p, need /div"_s, u"a"_s, u"Unexpected tag: /p"_s}
            << true;
    }
    void pagesThatGoWrong() {
        QFETCH(QString, page);
        QFETCH(QStringList, paragraphs);
        QFETCH(bool, error);
        LoadTable(u"// ID=7;\nDE=a</div>b\n"_s);
        THtmlView view;
        view.LoadHtml(page);
        QCOMPARE(Paragraphs(view.Document()).join(u'|'), paragraphs.join(u'|'));
        QCOMPARE(view.Source().Error, error);
    }

    void pathsStayOnOneLine() {
        THtmlView view;
        view.LoadHtml(u"<html><body><div>see /usr/share/doc and /etc</div></body></html>"_s);
        QTextDocument &page = view.Document();
        page.setTextWidth(90);
        QVERIFY(page.size().height() > 0); // laid out now
        const QTextBlock paragraph = page.begin();
        const QTextLayout *layout = paragraph.layout();
        QVERIFY(layout->lineCount() > 1);
        for (int k = 0; k < layout->lineCount(); ++k) {
            const QTextLine line = layout->lineAt(k);
            const QString text = paragraph.text().mid(line.textStart(), line.textLength());
            QVERIFY2(!text.trimmed().endsWith(u'/'), qPrintable(text));
        }
    }

    void deepPageStaysWithinBounds() {
        THtmlView view;
        const int depth = 10000;
        view.LoadHtml(u"<html><body>"_s + u"<div>"_s.repeated(depth) + u"deep"_s +
                      u"</div>"_s.repeated(depth) + u"<p>end</p></body></html>"_s);
        QCOMPARE(Paragraphs(view.Document()), QStringList{u"end"_s});
    }

    // The page as a person sees it: the page colour and margin, a box per tip
    // in its own colour, the centred bold heading, the spacer font, links.
    void startPageLooksAsDesigned() {
        LoadShippedTable();
        THtmlView view;
        view.LoadHtml(TipsPageTemplate(TipsPage::Start));
        const QTextDocument &page = view.Document();
        const QTextFrameFormat root = page.rootFrame()->frameFormat();
        QCOMPARE(root.background().color(), QColor(0xFE, 0xF7, 0xE5));
        QCOMPARE(root.leftMargin(), 8.0);
        const QList<QTextFrame *> boxes = page.rootFrame()->childFrames();
        QCOMPARE(boxes.size(), 5);
        for (QTextFrame *box : boxes)
            QCOMPARE(box->frameFormat().background().color(), QColor(0xFD, 0xEF, 0xCF));
        QCOMPARE(page.begin().text(), u"Tipps"_s);
        QCOMPARE(page.begin().blockFormat().alignment(), Qt::AlignHCenter);
        QCOMPARE(FormatAt(page, u"Tipps"_s).fontWeight(), int(QFont::Bold));
        const QTextCursor mp3 = page.find(u"MP3s"_s);
        QTextCursor spacer(mp3);
        spacer.setPosition(mp3.selectionEnd() + 1);
        QCOMPARE(spacer.charFormat().fontPointSize(), 4.0);
        QVERIFY(spacer.charFormat().font().bold());
        const QTextCharFormat link = FormatAt(page, u"Startseite"_s);
        QVERIFY(link.isAnchor());
        QCOMPARE(link.anchorHref(), u"help:start"_s);
        QCOMPARE(link.foreground().color(), QColor(Qt::blue));
    }

    // Every tips row in every language of the shipped table: present, read
    // without a misplaced tag, shown whole, nothing of its markup left over,
    // and its links lead into the program's help.
    void everyTipReadsCleanlyInEveryLanguage() {
        LoadShippedTable();
        const tMLSystem &table = *PhraseTable();
        QCOMPARE(table.Languages.size(), std::size_t(17));
        const QStringList sections{u"start"_s,  u"filter"_s,   u"results"_s,     u"marks"_s,
                                   u"delete"_s, u"settings"_s, u"command-line"_s};
        const QRegularExpression tag(u"<[^>]*>"_s);
        QStringList wrong;
        for (const auto &language : table.Languages) {
            const QString code = language->Code;
            QVERIFY(code == u"DE" || SetProgramLanguage(code));
            const int index = table.IndexOfLanguage(code);
            QString shown;
            for (const TipsPage which : {TipsPage::Start, TipsPage::Result}) {
                THtmlView view;
                view.LoadHtml(TipsPageTemplate(which));
                if (view.Source().Error)
                    wrong << code + u": a misplaced tag"_s;
                const QString text = view.Document().toRawText();
                shown += Readable(text) + u'\n';
                for (const QString &leftover : {u"<"_s, u">"_s, u"&"_s, u"{{"_s})
                    if (text.contains(leftover))
                        wrong << code + u": shows "_s + leftover;
                for (QTextBlock block = view.Document().begin(); block.isValid();
                     block = block.next())
                    for (auto it = block.begin(); !it.atEnd(); ++it)
                        if (const QTextCharFormat f = it.fragment().charFormat(); f.isAnchor())
                            if (const QString href = f.anchorHref();
                                !href.startsWith(u"help:") || !sections.contains(href.mid(5)))
                                wrong << code + u": links to "_s + href;
            }
            for (int id = FirstTipsRow; id <= LastTipsRow; ++id) {
                const auto row = std::find_if(table.Groups.begin(), table.Groups.end(),
                                              [id](const auto &r) { return r->Id == id; });
                if (row == table.Groups.end() || (*row)->Text(index).isEmpty()) {
                    wrong << code + u": no row "_s + QString::number(id);
                    continue;
                }
                QString words = (*row)->Text(index);
                words = Readable(DecodeHtmlEntities(words.remove(tag)));
                if (!shown.contains(words))
                    wrong << code + u": row "_s + QString::number(id) + u" not shown whole"_s;
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    }
};

QTEST_MAIN(TestHTMLViewUnit)
#include "TestHTMLViewUnit.moc"
