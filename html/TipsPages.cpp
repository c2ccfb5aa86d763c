#include "html/TipsPages.h"

namespace {
// Each page is one line of HTML: what the view reads needs no line breaks.
const char16_t *const PageHead =
    u"<html><body style=\"background-color:#FEF7E5; color:#000000; margin:8px;\">"
    u"<center style=\"margin-top:6px;\"><div><b translate=\"text\">Tipps</b></div></center><br>";
const char16_t *const BoxStart =
    u"<div style=\"background-color:#FDEFCF; margin:5px; width:100%;\">";

QString TipBox(int titleRow, int bodyRow) {
    return QString::fromUtf16(BoxStart) +
           QStringLiteral("<div style=\"margin-bottom:2px;\"><b translate=\"id=%1\"></b></div>"
                          "<div translate=\"id=%2\"></div></div><br>")
               .arg(titleRow)
               .arg(bodyRow);
}

QString LinkBox(int row) {
    return QString::fromUtf16(BoxStart) +
           QStringLiteral("<div translate=\"id=%1\"></div></div></body></html>").arg(row);
}
} // namespace

QString TipsPageTemplate(TipsPage page) {
    QString html = QString::fromUtf16(PageHead);
    if (page == TipsPage::Result) {
        html += QString::fromUtf16(BoxStart) +
                QStringLiteral("<div style=\"margin-bottom:2px;\"><b translate=\"id=16\"></b></div>"
                               "<div translate=\"id=17\"></div><br><div translate=\"id=18\"></div>"
                               "</div><br>");
        return html + LinkBox(19);
    }
    html += TipBox(7, 8) + TipBox(9, 10) + TipBox(11, 12);
    // The fixed word, a narrow gap in a 4-point blank, then the row's words.
    html += QString::fromUtf16(BoxStart) +
            QStringLiteral("<div style=\"margin-bottom:2px;\"><b>MP3s<span "
                           "style=\"font-size:4pt;\">&nbsp;</span><span>:&nbsp;</span><span "
                           "translate=\"id=13\"></span></b></div><div translate=\"id=14\"></div>"
                           "</div><br>");
    return html + LinkBox(15);
}
