#include "html/HTMLViewUnit.h"

#include "lang/MultiLingua.h"

#include <QColor>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct NamedEntity {
    QStringView Name;
    char16_t Character;
};

// The full list of HTML 4, sorted by name as compared character by character.
constexpr NamedEntity HtmlEntities[] = {
    {u"AElig", 198},   {u"Aacute", 193},  {u"Acirc", 194},   {u"Agrave", 192},  {u"Alpha", 913},
    {u"Aring", 197},   {u"Atilde", 195},  {u"Auml", 196},    {u"Beta", 914},    {u"Ccedil", 199},
    {u"Chi", 935},     {u"Dagger", 8225}, {u"Delta", 916},   {u"ETH", 208},     {u"Eacute", 201},
    {u"Ecirc", 202},   {u"Egrave", 200},  {u"Epsilon", 917}, {u"Eta", 919},     {u"Euml", 203},
    {u"Gamma", 915},   {u"Iacute", 205},  {u"Icirc", 206},   {u"Igrave", 204},  {u"Iota", 921},
    {u"Iuml", 207},    {u"Kappa", 922},   {u"Lambda", 923},  {u"Mu", 924},      {u"Ntilde", 209},
    {u"Nu", 925},      {u"OElig", 338},   {u"Oacute", 211},  {u"Ocirc", 212},   {u"Ograve", 210},
    {u"Omega", 937},   {u"Omicron", 927}, {u"Oslash", 216},  {u"Otilde", 213},  {u"Ouml", 214},
    {u"Phi", 934},     {u"Pi", 928},      {u"Prime", 8243},  {u"Psi", 936},     {u"Rho", 929},
    {u"Scaron", 352},  {u"Sigma", 931},   {u"THORN", 222},   {u"Tau", 932},     {u"Theta", 920},
    {u"Uacute", 218},  {u"Ucirc", 219},   {u"Ugrave", 217},  {u"Upsilon", 933}, {u"Uuml", 220},
    {u"Xi", 926},      {u"Yacute", 221},  {u"Yuml", 376},    {u"Zeta", 918},    {u"aacute", 225},
    {u"acirc", 226},   {u"acute", 180},   {u"aelig", 230},   {u"agrave", 224},  {u"alefsym", 8501},
    {u"alpha", 945},   {u"amp", 38},      {u"and", 8743},    {u"ang", 8736},    {u"aring", 229},
    {u"asymp", 8776},  {u"atilde", 227},  {u"auml", 228},    {u"bdquo", 8222},  {u"beta", 946},
    {u"brvbar", 166},  {u"bull", 8226},   {u"cap", 8745},    {u"ccedil", 231},  {u"cedil", 184},
    {u"cent", 162},    {u"chi", 967},     {u"circ", 710},    {u"clubs", 9827},  {u"cong", 8773},
    {u"copy", 169},    {u"crarr", 8629},  {u"cup", 8746},    {u"curren", 164},  {u"dArr", 8659},
    {u"dagger", 8224}, {u"darr", 8595},   {u"deg", 176},     {u"delta", 948},   {u"diams", 9830},
    {u"divide", 247},  {u"eacute", 233},  {u"ecirc", 234},   {u"egrave", 232},  {u"empty", 8709},
    {u"emsp", 8195},   {u"ensp", 8194},   {u"epsilon", 949}, {u"equiv", 8801},  {u"eta", 951},
    {u"eth", 240},     {u"euml", 235},    {u"euro", 8364},   {u"exist", 8707},  {u"fnof", 402},
    {u"forall", 8704}, {u"frac12", 189},  {u"frac14", 188},  {u"frac34", 190},  {u"frasl", 8260},
    {u"gamma", 947},   {u"ge", 8805},     {u"gt", 62},       {u"hArr", 8660},   {u"harr", 8596},
    {u"hearts", 9829}, {u"hellip", 8230}, {u"iacute", 237},  {u"icirc", 238},   {u"iexcl", 161},
    {u"igrave", 236},  {u"image", 8465},  {u"infin", 8734},  {u"int", 8747},    {u"iota", 953},
    {u"iquest", 191},  {u"isin", 8712},   {u"iuml", 239},    {u"kappa", 954},   {u"lArr", 8656},
    {u"lambda", 955},  {u"lang", 9001},   {u"laquo", 171},   {u"larr", 8592},   {u"lceil", 8968},
    {u"ldquo", 8220},  {u"le", 8804},     {u"lfloor", 8970}, {u"lowast", 8727}, {u"loz", 9674},
    {u"lrm", 8206},    {u"lsaquo", 8249}, {u"lsquo", 8216},  {u"lt", 60},       {u"macr", 175},
    {u"mdash", 8212},  {u"micro", 181},   {u"middot", 183},  {u"minus", 8722},  {u"mu", 956},
    {u"nabla", 8711},  {u"nbsp", 160},    {u"ndash", 8211},  {u"ne", 8800},     {u"ni", 8715},
    {u"not", 172},     {u"notin", 8713},  {u"nsub", 8836},   {u"ntilde", 241},  {u"nu", 957},
    {u"oacute", 243},  {u"ocirc", 244},   {u"oelig", 339},   {u"ograve", 242},  {u"oline", 8254},
    {u"omega", 969},   {u"omicron", 959}, {u"oplus", 8853},  {u"or", 8744},     {u"ordf", 170},
    {u"ordm", 186},    {u"oslash", 248},  {u"otilde", 245},  {u"otimes", 8855}, {u"ouml", 246},
    {u"para", 182},    {u"part", 8706},   {u"permil", 8240}, {u"perp", 8869},   {u"phi", 966},
    {u"pi", 960},      {u"piv", 982},     {u"plusmn", 177},  {u"pound", 163},   {u"prime", 8242},
    {u"prod", 8719},   {u"prop", 8733},   {u"psi", 968},     {u"quot", 34},     {u"rArr", 8658},
    {u"radic", 8730},  {u"rang", 9002},   {u"raquo", 187},   {u"rarr", 8594},   {u"rceil", 8969},
    {u"rdquo", 8221},  {u"real", 8476},   {u"reg", 174},     {u"rfloor", 8971}, {u"rho", 961},
    {u"rlm", 8207},    {u"rsaquo", 8250}, {u"rsquo", 8217},  {u"sbquo", 8218},  {u"scaron", 353},
    {u"sdot", 8901},   {u"sect", 167},    {u"shy", 173},     {u"sigma", 963},   {u"sigmaf", 962},
    {u"sim", 8764},    {u"spades", 9824}, {u"sub", 8834},    {u"sube", 8838},   {u"sum", 8721},
    {u"sup", 8835},    {u"sup1", 185},    {u"sup2", 178},    {u"sup3", 179},    {u"supe", 8839},
    {u"szlig", 223},   {u"tau", 964},     {u"there4", 8756}, {u"theta", 952},   {u"thetasym", 977},
    {u"thinsp", 8201}, {u"thorn", 254},   {u"tilde", 732},   {u"times", 215},   {u"trade", 8482},
    {u"uArr", 8657},   {u"uacute", 250},  {u"uarr", 8593},   {u"ucirc", 251},   {u"ugrave", 249},
    {u"uml", 168},     {u"upsih", 978},   {u"upsilon", 965}, {u"uuml", 252},    {u"weierp", 8472},
    {u"xi", 958},      {u"yacute", 253},  {u"yen", 165},     {u"yuml", 255},    {u"zeta", 950},
    {u"zwj", 8205},    {u"zwnj", 8204},
};

constexpr QChar LineSeparator(0x2028);
constexpr QChar WordJoiner(0x2060);
// Pages are a few levels deep; deeper elements are left out rather than
// risking the stack on a page that went wrong.
constexpr int DeepestElement = 256;

bool IsBlank(QChar c) {
    return c.unicode() <= u' ';
}

bool IsBlankText(QStringView text) {
    return std::all_of(text.begin(), text.end(), IsBlank);
}

bool IsBlockTag(const QString &lowerTag) {
    static const QStringList blocks{u"body"_s, u"div"_s,    u"p"_s,     u"table"_s,  u"tr"_s,
                                    u"td"_s,   u"iframe"_s, u"frame"_s, u"center"_s, u"br"_s};
    return blocks.contains(lowerTag);
}

std::optional<char16_t> FindEntity(QStringView name) {
    const auto found =
        std::lower_bound(std::begin(HtmlEntities), std::end(HtmlEntities), name,
                         [](const NamedEntity &e, QStringView n) { return e.Name.compare(n) < 0; });
    if (found == std::end(HtmlEntities) || found->Name.compare(name) != 0)
        return std::nullopt;
    return found->Character;
}

bool IsAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

QColor FromWindowsColor(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

int FontPixelHeight(qreal points) {
    const int height = int(std::lround(points * 96 / 72));
    return height < 1 ? 16 : height;
}

// The text of a "translate" attribute or of a "{{phr=" text, or nothing when
// the element asks for none.
std::optional<QString> Translation(const TKelmoXmlNode &node) {
    auto rowText = [](QStringView number) -> std::optional<QString> {
        bool ok = false;
        const int id = number.trimmed().toInt(&ok);
        if (!ok || id < 1)
            return std::nullopt;
        return GetTablePhrase(id);
    };
    const QString how = node.GetAttribute(u"translate").trimmed().toLower();
    if (!how.isEmpty()) {
        if (how == u"yes" || how == u"on" || how == u"true" || how == u"text")
            return TranslateText(DecodeHtmlEntities(node.Text()));
        if (how.startsWith(u"id="))
            return rowText(QStringView(how).sliced(3));
        return std::nullopt;
    }
    const QString &text = node.Text();
    constexpr QStringView Marker = u"{{phr=";
    if (!text.startsWith(Marker, Qt::CaseInsensitive))
        return std::nullopt;
    const qsizetype close = text.indexOf(u"}}", Marker.size());
    if (close < 0 || close - Marker.size() > 16)
        return std::nullopt;
    const QStringView key = QStringView(text).sliced(Marker.size(), close - Marker.size());
    if (key.compare(u"text", Qt::CaseInsensitive) == 0)
        return TranslateText(DecodeHtmlEntities(QStringView(text).sliced(close + 2)));
    return rowText(key);
}

// A translation may carry markup and entities, so it is read as the element's
// content in place of what stood there.
void TranslateElement(TKelmoXmlFile &document, TKelmoXmlNode &node) {
    const std::optional<QString> translation = Translation(node);
    // An empty translation (a row the table lacks) keeps what the page wrote.
    if (!translation || translation->isEmpty())
        return;
    const QString tag = node.TagName();
    QString startTag = tag;
    if (!node.RawAttributes().isEmpty())
        startTag += u' ' + node.RawAttributes();
    const QString content = *translation + u"</"_s + tag + u'>';
    if (document.ParseElement(node, content, 0, startTag) != content.size())
        document.Error = true;
}

THtmlBoxStyle StyleOfBox(const TKelmoXmlNode &node, const QString &tag, const THtmlBoxStyle &parent,
                         int reference) {
    THtmlBoxStyle style;
    // Alignment, font and link carry over; the box's own room and colours do not.
    style.Align = parent.Align;
    style.FontFamily = parent.FontFamily;
    style.FontPoints = parent.FontPoints;
    style.Bold = parent.Bold;
    style.Italic = parent.Italic;
    style.Underline = parent.Underline;
    style.StrikeOut = parent.StrikeOut;
    style.FontColor = parent.FontColor;
    style.Link = parent.Link;

    if (tag == u"a") {
        style.Underline = true;
        style.FontColor = 0xFF0000;
    } else if (tag == u"b") {
        style.Bold = true;
    } else if (tag == u"center") {
        style.Align = THtmlBoxStyle::Center;
        style.Width = {100, HtmlLength::Percent};
    } else if (tag == u"p") {
        style.MarginBottom += FontPixelHeight(style.FontPoints);
    }

    const QString declarations = node.GetAttribute(u"style");
    if (!declarations.isEmpty())
        ApplyCssDeclarations(style, declarations, parent.FontPoints, reference);

    if (const HtmlLength width = ParseHtmlLength(node.GetAttribute(u"width")); width.IsSet())
        style.Width = width;
    if (const HtmlLength height = ParseHtmlLength(node.GetAttribute(u"height")); height.IsSet())
        style.Height = height;
    if (const auto color = ParseHtmlColor(node.GetAttribute(u"bgcolor")))
        style.Background = *color;
    if (const QString picture = node.GetAttribute(u"background"); !picture.isEmpty())
        style.BackgroundPicture = picture;
    if (const QString align = node.GetAttribute(u"align").trimmed(); !align.isEmpty()) {
        switch (align.front().toUpper().unicode()) {
        case u'A':
        case u'C':
        case u'M':
            style.Align = THtmlBoxStyle::Center;
            break;
        case u'J':
            style.Align = THtmlBoxStyle::Justify;
            break;
        case u'R':
            style.Align = THtmlBoxStyle::Right;
            break;
        default:
            break;
        }
    }
    if (const QString href = node.GetAttribute(u"href"); !href.isEmpty())
        style.Link = href;
    return style;
}

Qt::Alignment ToQtAlignment(THtmlBoxStyle::Alignment align) {
    switch (align) {
    case THtmlBoxStyle::Center:
        return Qt::AlignHCenter;
    case THtmlBoxStyle::Right:
        return Qt::AlignRight;
    case THtmlBoxStyle::Justify:
        return Qt::AlignJustify;
    case THtmlBoxStyle::Left:
        break;
    }
    return Qt::AlignLeft;
}

QTextCharFormat CharFormatOf(const THtmlBoxStyle &style) {
    QTextCharFormat format;
    format.setFontFamilies(QStringList{style.FontFamily});
    format.setFontStyleHint(QFont::SansSerif);
    format.setFontPointSize(style.FontPoints);
    format.setFontWeight(style.Bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(style.Italic);
    format.setFontUnderline(style.Underline);
    format.setFontStrikeOut(style.StrikeOut);
    format.setForeground(FromWindowsColor(style.FontColor));
    if (!style.Link.isEmpty()) {
        format.setAnchor(true);
        format.setAnchorHref(style.Link);
    }
    return format;
}

// Writes the box tree below "body" into the document. Block boxes become
// paragraphs, boxes with a background a frame of their own; a box's margins
// keep its contents off its edges, inside its background, as the pages expect.
class PageBuilder {
public:
    PageBuilder(QTextDocument &page, int reference) : Page(page), Reference(reference) {}

    void Build(const TKelmoXmlNode &body) {
        THtmlBoxStyle root;
        const THtmlBoxStyle style = StyleOfBox(body, u"body"_s, root, Reference);
        QFont font(root.FontFamily);
        font.setStyleHint(QFont::SansSerif);
        font.setPointSizeF(root.FontPoints);
        Page.setDefaultFont(font);
        QTextFrameFormat frame = Page.rootFrame()->frameFormat();
        frame.setLeftMargin(style.MarginLeft);
        frame.setTopMargin(style.MarginTop);
        frame.setRightMargin(style.MarginRight);
        frame.setBottomMargin(style.MarginBottom);
        if (style.Background >= 0)
            frame.setBackground(FromWindowsColor(quint32(style.Background)));
        Page.rootFrame()->setFrameFormat(frame);
        Cursor = QTextCursor(&Page);
        EmitContent(body, style, Indent{}, 0);
        if (BlockUnused)
            Collapse();
    }

private:
    // Left and right room of the paragraphs, measured from the frame they are in.
    struct Indent {
        int Left = 0;
        int Right = 0;
    };

    void EmitContent(const TKelmoXmlNode &node, const THtmlBoxStyle &style, Indent indent,
                     int depth) {
        if (!node.Text().isEmpty())
            EmitText(DecodeHtmlEntities(node.Text()), style, indent);
        for (int k = 0; k < node.ChildCount(); ++k)
            EmitElement(*node.Child(k), style, indent, depth + 1);
    }

    void EmitElement(const TKelmoXmlNode &node, const THtmlBoxStyle &parent, Indent indent,
                     int depth) {
        if (depth > DeepestElement)
            return;
        const QString tag = node.TagName().toLower();
        const THtmlBoxStyle style = StyleOfBox(node, tag, parent, Reference);
        if (tag == u"img") {
            EmitImage(node, style, indent);
            return;
        }
        if (tag == u"br") {
            EmitLine(style, indent);
            return;
        }
        if (!IsBlockTag(tag)) {
            EmitContent(node, style, indent, depth);
            return;
        }

        InParagraph = false;
        QTextFrame *frame = nullptr;
        // A frame takes the even part of the box's room as its padding: a
        // paragraph's margin at the frame's edge would slip out of the
        // background, as margins collapse in Qt's layout.
        int padding = 0;
        if (style.Background >= 0 || !style.BackgroundPicture.isEmpty()) {
            padding = std::min(
                {style.MarginLeft, style.MarginTop, style.MarginRight, style.MarginBottom});
            frame = OpenFrame(style, indent, padding);
            indent = Indent{};
        }
        indent.Left += style.MarginLeft - padding;
        indent.Right += style.MarginRight - padding;
        PendingTop += style.MarginTop - padding;
        const int bottom = style.MarginBottom - padding;
        const int before = Paragraphs;
        EmitContent(node, style, indent, depth);
        InParagraph = false;
        if (Paragraphs > before && !BlockUnused) {
            QTextBlockFormat last = Cursor.blockFormat();
            last.setBottomMargin(last.bottomMargin() + bottom);
            Cursor.setBlockFormat(last);
        } else {
            PendingTop += bottom;
        }
        if (frame)
            CloseFrame(*frame);
    }

    QTextFrame *OpenFrame(const THtmlBoxStyle &style, Indent indent, int padding) {
        QTextFrameFormat format;
        format.setBorder(0);
        format.setPadding(padding);
        format.setLeftMargin(indent.Left);
        format.setRightMargin(indent.Right);
        format.setTopMargin(PendingTop);
        PendingTop = 0;
        if (style.Background >= 0)
            format.setBackground(FromWindowsColor(quint32(style.Background)));
        else if (const QImage picture(style.BackgroundPicture); !picture.isNull())
            format.setBackground(picture);
        if (style.Width.Kind == HtmlLength::Px)
            format.setWidth(QTextLength(QTextLength::FixedLength, std::round(style.Width.Value)));
        else if (style.Width.Kind == HtmlLength::Percent)
            format.setWidth(QTextLength(QTextLength::PercentageLength, style.Width.Value));
        // The document keeps a paragraph before every frame; one that carries
        // nothing must not take a line of room.
        if (BlockUnused)
            Collapse();
        QTextFrame *frame = Cursor.insertFrame(format);
        BlockUnused = true;
        return frame;
    }

    void CloseFrame(QTextFrame &frame) {
        if (BlockUnused)
            Collapse();
        Cursor.setPosition(frame.lastPosition() + 1);
        BlockUnused = true;
        InParagraph = false;
    }

    void Collapse() {
        QTextBlockFormat none;
        none.setLineHeight(0, QTextBlockFormat::FixedHeight);
        Cursor.setBlockFormat(none);
        QTextCharFormat tiny;
        tiny.setFontPointSize(1);
        Cursor.setBlockCharFormat(tiny);
    }

    void StartParagraph(const THtmlBoxStyle &style, Indent indent) {
        if (!BlockUnused)
            Cursor.insertBlock();
        QTextBlockFormat format;
        format.setLeftMargin(indent.Left);
        format.setRightMargin(indent.Right);
        format.setTopMargin(PendingTop);
        PendingTop = 0;
        format.setAlignment(ToQtAlignment(style.Align));
        Cursor.setBlockFormat(format);
        Cursor.setBlockCharFormat(CharFormatOf(style));
        BlockUnused = false;
        InParagraph = true;
        AfterBlank = true;
        ++Paragraphs;
    }

    // A line break box: an empty line of the font's height.
    void EmitLine(const THtmlBoxStyle &style, Indent indent) {
        InParagraph = false;
        StartParagraph(style, indent);
        InParagraph = false;
    }

    // Blanks and control characters collapse into one blank, none at the
    // start of a line, as running text reads.
    void EmitText(const QString &text, const THtmlBoxStyle &style, Indent indent) {
        if (!InParagraph) {
            if (IsBlankText(text))
                return;
            StartParagraph(style, indent);
        }
        QString shown;
        shown.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c == LineSeparator) {
                shown += c;
                AfterBlank = true;
            } else if (IsBlank(c)) {
                if (!AfterBlank)
                    shown += u' ';
                AfterBlank = true;
            } else {
                shown += c;
                AfterBlank = false;
                // Lines break only at blanks and punctuation, never inside a
                // path such as "/usr".
                if (c == u'/' && i + 1 < text.size() && !IsBlank(text[i + 1]))
                    shown += WordJoiner;
            }
        }
        if (!shown.isEmpty())
            Cursor.insertText(shown, CharFormatOf(style));
    }

    void EmitImage(const TKelmoXmlNode &node, const THtmlBoxStyle &style, Indent indent) {
        QString source = node.GetAttribute(u"src");
        if (source.isEmpty())
            source = node.GetAttribute(u"embeddedfile");
        QImage image;
        if (source == u"internal-bullet") {
            const int width = std::max(2, HtmlLengthPixels(style.Width, Reference, style.FontPoints)
                                              .value_or(FontPixelHeight(style.FontPoints) / 2));
            const int height = std::max(
                2, HtmlLengthPixels(style.Height, Reference, style.FontPoints).value_or(width));
            image = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(FromWindowsColor(style.FontColor));
            painter.drawEllipse(image.rect());
        } else if (!source.isEmpty() && QFileInfo(source).isFile()) {
            image.load(source);
        }
        if (image.isNull())
            return;
        if (!InParagraph)
            StartParagraph(style, indent);
        const QUrl name(u"tips-image:%1"_s.arg(++Images));
        Page.addResource(QTextDocument::ImageResource, name, image);
        QTextImageFormat format;
        format.setName(name.toString());
        format.setWidth(image.width());
        format.setHeight(image.height());
        Cursor.insertImage(format);
        AfterBlank = false;
    }

    QTextDocument &Page;
    const int Reference;
    QTextCursor Cursor;
    // The cursor's paragraph holds nothing and may still take any format.
    bool BlockUnused = true;
    // Inline content goes on in the cursor's paragraph.
    bool InParagraph = false;
    bool AfterBlank = true;
    // Room above the next paragraph or frame: top margins of boxes that begin
    // there and bottom margins of boxes that ended without a paragraph.
    int PendingTop = 0;
    int Paragraphs = 0;
    int Images = 0;
};

} // namespace

HtmlLength ParseHtmlLength(QStringView text) {
    text = text.trimmed();
    qsizetype numberEnd = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if ((text[i] >= u'0' && text[i] <= u'9') || text[i] == u'.')
            numberEnd = i + 1;
    bool ok = false;
    const double value = text.first(numberEnd).toDouble(&ok);
    if (!ok || value < 0 || value >= 8000)
        return {};
    const QString unit = text.sliced(numberEnd).trimmed().toString().toLower();
    static const std::pair<QStringView, HtmlLength::Unit> Units[] = {
        {u"", HtmlLength::Px},   {u"px", HtmlLength::Px}, {u"%", HtmlLength::Percent},
        {u"pt", HtmlLength::Pt}, {u"em", HtmlLength::Em}, {u"mm", HtmlLength::Mm},
        {u"cm", HtmlLength::Cm}, {u"in", HtmlLength::In},
    };
    for (const auto &[name, kind] : Units)
        if (unit == name)
            return {float(value), kind};
    return {};
}

std::optional<int> HtmlLengthPixels(HtmlLength length, int reference, qreal parentFontPoints,
                                    int resolution) {
    const double v = length.Value;
    double pixels = 0;
    switch (length.Kind) {
    case HtmlLength::NotSet:
        return std::nullopt;
    case HtmlLength::Px:
        pixels = v;
        break;
    case HtmlLength::Percent:
        if (v == 0)
            return std::nullopt;
        pixels = v / 100 * reference;
        break;
    case HtmlLength::Pt:
        pixels = v * 2;
        break;
    case HtmlLength::Em:
        pixels = parentFontPoints * v * 2;
        break;
    case HtmlLength::Mm:
        pixels = resolution * v / 25.4;
        break;
    case HtmlLength::Cm:
        pixels = resolution * v / 2.54;
        break;
    case HtmlLength::In:
        pixels = resolution * v;
        break;
    }
    return int(std::lround(pixels));
}

std::optional<quint32> ParseHtmlColor(QStringView text) {
    text = text.trimmed();
    if (text.startsWith(u'#'))
        text = text.sliced(1);
    if (text.size() != 6)
        return std::nullopt;
    const auto isHexDigit = [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    };
    if (!std::all_of(text.begin(), text.end(), isHexDigit))
        return std::nullopt;
    const uint rgb = text.toUInt(nullptr, 16);
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

QString DecodeHtmlEntities(QStringView text) {
    // No HTML 4 name is longer than this; a ";" further away ends no name.
    constexpr qsizetype LongestName = 8;
    QString decoded;
    decoded.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype amp = text.indexOf(u'&', i);
        if (amp < 0) {
            decoded.append(text.sliced(i));
            break;
        }
        decoded.append(text.sliced(i, amp - i));
        i = amp + 1;
        if (i < text.size() && IsAsciiLetter(text[i])) {
            const qsizetype semicolon =
                text.sliced(i, std::min(LongestName + 1, text.size() - i)).indexOf(u';');
            if (semicolon > 0) {
                if (const auto character = FindEntity(text.sliced(i, semicolon))) {
                    decoded.append(QChar(*character));
                    i += semicolon + 1;
                    continue;
                }
            }
        }
        decoded.append(u'&');
    }
    return decoded;
}

void ApplyCssDeclarations(THtmlBoxStyle &style, QStringView declarations, qreal parentFontPoints,
                          int reference) {
    for (QStringView declaration : declarations.split(u';')) {
        const qsizetype colon = declaration.indexOf(u':');
        if (colon < 0)
            continue;
        const QString name = declaration.first(colon).trimmed().toString().toLower();
        const QStringView value = declaration.sliced(colon + 1).trimmed();
        const auto pixels = [&] {
            return HtmlLengthPixels(ParseHtmlLength(value), reference, parentFontPoints);
        };
        if (name == u"margin") {
            if (const auto margin = pixels())
                style.MarginLeft = style.MarginTop = style.MarginRight = style.MarginBottom =
                    *margin;
        } else if (name == u"margin-left" || name == u"margin-top" || name == u"margin-right" ||
                   name == u"margin-bottom") {
            int *margin = name == u"margin-left"    ? &style.MarginLeft
                          : name == u"margin-top"   ? &style.MarginTop
                          : name == u"margin-right" ? &style.MarginRight
                                                    : &style.MarginBottom;
            if (const auto length = pixels())
                *margin = *length;
        } else if (name == u"width" || name == u"height") {
            HtmlLength length = ParseHtmlLength(value);
            // Only pixels and percentages size a box; anything else leaves it to the content.
            if (length.Kind != HtmlLength::Px && length.Kind != HtmlLength::Percent)
                length = {};
            (name == u"width" ? style.Width : style.Height) = length;
        } else if (name == u"color" || name == u"background-color") {
            if (const auto color = ParseHtmlColor(value)) {
                if (name == u"color")
                    style.FontColor = *color;
                else
                    style.Background = *color;
            }
        } else if (name == u"font-size") {
            const HtmlLength length = ParseHtmlLength(value);
            const qreal size = length.Kind == HtmlLength::Em ? parentFontPoints * length.Value
                                                             : qreal(length.Value);
            if (length.IsSet() && size >= 1 && size <= 100)
                style.FontPoints = size;
        } else if (name == u"font-weight") {
            if (value == u"bold" || value == u"normal")
                style.Bold = value == u"bold";
        } else if (name == u"font-style") {
            if (value == u"italic" || value == u"normal")
                style.Italic = value == u"italic";
        } else if (name == u"text-decoration") {
            if (value == u"none" || value == u"underline" || value == u"line-through") {
                style.Underline = value == u"underline";
                style.StrikeOut = value == u"line-through";
            }
        }
    }
}

void TranslatePage(TKelmoXmlFile &document) {
    // Depth first without recursion: a translation read in place is walked
    // like the rest of the page.
    std::vector<TKelmoXmlNode *> pending{&document.Root()};
    while (!pending.empty()) {
        TKelmoXmlNode *node = pending.back();
        pending.pop_back();
        if (node != &document.Root())
            TranslateElement(document, *node);
        for (int k = node->ChildCount() - 1; k >= 0; --k)
            pending.push_back(node->Child(k));
    }
}

THtmlView::THtmlView() : Tree(new TKelmoXmlFile), Page(new QTextDocument) {
    Tree->HtmlMode = true;
}

THtmlView::~THtmlView() = default;

void THtmlView::LoadHtml(const QString &text) {
    Tree = std::make_unique<TKelmoXmlFile>();
    Tree->HtmlMode = true;
    Tree->LoadFromText(text);
    TranslatePage(*Tree);
    Page = std::make_unique<QTextDocument>();
    Page->setUndoRedoEnabled(false);
    const TKelmoXmlNode *html = Tree->Root().FindChild(u"html");
    if (const TKelmoXmlNode *body = html ? html->FindChild(u"body") : nullptr)
        PageBuilder(*Page, PageWidth).Build(*body);
}
