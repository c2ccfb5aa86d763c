#pragma once
// The view of the tips pages: a small page of hand-written HTML is read by the
// lenient reader, takes its texts from the phrase table in the language shown
// now, and becomes a document that Qt's rich-text engine lays out and draws.
// It knows the handful of tags and styles the pages use, not the web.

#include "html/XmlUnit.h"

#include <QString>
#include <QStringView>
#include <memory>
#include <optional>

class QTextDocument;

// A length as written: the number and its unit.
struct HtmlLength {
    enum Unit : quint8 { NotSet, Px, Percent, Pt, Em, Mm, Cm, In };
    float Value = 0;
    Unit Kind = NotSet;
    bool IsSet() const { return Kind != NotSet; }
};

// "5px", "100%", "0.5em", "12": the number up to its last digit or ".", read with
// "." whatever the locale, then the unit. A negative number, one of 8000 or
// more, or an unknown unit leave the length not set.
HtmlLength ParseHtmlLength(QStringView text);
// In pixels at the resolution: "%" of the reference (the parent's inner width),
// "pt" twice the value, "em" twice the value in parent font points. 0% counts
// as not set and gives nothing.
std::optional<int> HtmlLengthPixels(HtmlLength length, int reference, qreal parentFontPoints,
                                    int resolution = 96);

// "#RRGGBB" (the "#" may be missing) as a Windows colour value 0x00BBGGRR;
// nothing for names or other forms.
std::optional<quint32> ParseHtmlColor(QStringView text);

// The named character entities of HTML 4 ("&nbsp;", "&auml;", "&bdquo;" ...),
// names compared case-sensitively; an unknown name stays as written.
QString DecodeHtmlEntities(QStringView text);

// How a box looks: what its tag, its style and its attributes made of it.
struct THtmlBoxStyle {
    enum Alignment : quint8 { Left, Center, Right, Justify };
    int MarginLeft = 0, MarginTop = 0, MarginRight = 0, MarginBottom = 0;
    Alignment Align = Left;
    qint64 Background = -1; // Windows colour value, -1 = none
    QString BackgroundPicture;
    HtmlLength Width, Height;
    QString FontFamily = QStringLiteral("Verdana");
    qreal FontPoints = 10;
    bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
    quint32 FontColor = 0;
    QString Link;
};

// Applies "name: value; ..." to the style; unknown names and values that do
// not read are passed over. Percentages of margins refer to `reference`.
void ApplyCssDeclarations(THtmlBoxStyle &style, QStringView declarations, qreal parentFontPoints,
                          int reference);

// Resolves the "translate" attributes and the "{{phr=" texts of the whole tree
// in the language shown now. A text that does not read to its end sets the
// document's error flag, as a misplaced tag does.
void TranslatePage(TKelmoXmlFile &document);

class THtmlView {
public:
    THtmlView();
    ~THtmlView();
    THtmlView(const THtmlView &) = delete;
    THtmlView &operator=(const THtmlView &) = delete;

    // Percentages of margins refer to this width.
    int PageWidth = 1000;

    // Parses, translates and builds the document; the previous page goes. A
    // page without "html" or "body" shows nothing.
    void LoadHtml(const QString &text);

    // The laid-out page; it follows the width of whatever shows it.
    QTextDocument &Document() const { return *Page; }
    // The page's tree after translation.
    const TKelmoXmlFile &Source() const { return *Tree; }

private:
    std::unique_ptr<TKelmoXmlFile> Tree;
    std::unique_ptr<QTextDocument> Page;
};
