#include "Pages.h"

#include "db/CategoryKey.h"

namespace Pages
{

namespace
{

// The page being built, a line at a time.
class Page
{
public:
    explicit Page(qsizetype reserve) { m_text.reserve(reserve); }

    template <class... Parts> Page &line(const Parts &...parts)
    {
        (m_text.append(parts), ...);
        m_text.append(QLatin1StringView("\r\n"));
        return *this;
    }

    // Lines 1 to 7, the same on every page; a phone-ready one has two more
    // after the third: `phone` holds them.
    Page &head(const QString &title, const QString &phone = {})
    {
        line(QLatin1StringView("<HTML>"))
            .line(QLatin1StringView("<HEAD>"))
            .line(QLatin1StringView(
                "<META HTTP-EQUIV=\"Content-type\" CONTENT=\"text/html; charset=Shift_JIS\">"));
        m_text.append(phone);
        return line(QLatin1StringView("<TITLE>"), title, QLatin1StringView("</TITLE>"))
            .line(QLatin1StringView("</HEAD>"))
            .line(QLatin1StringView("<BODY>"))
            .line(QLatin1StringView("<div align=\"left\">"));
    }

    QString tail()
    {
        line(QLatin1StringView("</div>"));
        line(QLatin1StringView("</BODY>"));
        line(QLatin1StringView("</HTML>"));
        return take();
    }

    QString take() { return std::move(m_text); }

    // The heading of a menu page, and the start of its list.
    Page &menuHeading(const QString &title, Layout layout, bool bigTitle)
    {
        if (layout == Layout::Rules)
            return line(title, QLatin1StringView("<br><hr>"));
        if (bigTitle)
            line(QLatin1StringView("<FONT size=\"+2\">"));
        line(QLatin1StringView("<b>"), title, QLatin1StringView("</b>"));
        if (bigTitle)
            line(QLatin1StringView("</FONT>"));
        return line(QLatin1StringView("<br><hr>")).line(QLatin1StringView("<table border=1>"));
    }

    Page &menuEntry(const QString &target, const QString &text, Layout layout)
    {
        if (layout == Layout::Rules)
            return line(QLatin1StringView("<A href=\""), target, QLatin1StringView("\">"))
                .line(QStringLiteral("･"), text, QLatin1StringView("</a><br>"));
        return line(QLatin1StringView("<tr><td><A href=\""), target, QLatin1StringView("\">"))
            .line(QStringLiteral("●"), text, QLatin1StringView("</a></td></tr>"));
    }

    Page &menuEnd(Layout layout)
    {
        return line(layout == Layout::Rules ? QLatin1StringView("<hr>")
                                            : QLatin1StringView("</table><hr>"));
    }

    // A form that opens the search page with the words, in UTF-8 whatever
    // the page's own encoding, so that a link typed by hand works alike.
    Page &searchBox()
    {
        return line(QLatin1StringView(
                        "<FORM id=\"wzform\" action=\"search.html\" method=\"get\" "
                        "accept-charset=\"UTF-8\">"))
            .line(QLatin1StringView("<INPUT type=\"search\" id=\"wzq\" name=\"q\" size=\"30\"> "),
                  u"<INPUT type=\"submit\" value=\"検索\">"_qs)
            .line(QLatin1StringView("</FORM>"));
    }

    Page &backLink(const QString &target)
    {
        return line(QLatin1StringView("<A href=\""), target, u"\">戻る</A>"_qs);
    }

    // A Q&A page's links back, for a phone: to its menu page and to the
    // index, both large enough to tap.
    Page &phoneLinks(const QString &target, const QString &index)
    {
        line(QLatin1StringView("<A class=\"nav\" href=\""), target, u"\">戻る</A>"_qs);
        if (!index.isEmpty())
            line(QLatin1StringView("<A class=\"nav\" href=\""), index, u"\">目次</A>"_qs);
        return *this;
    }

private:
    QString m_text;
};

// For a phone: its own width and readable text; long words and addresses
// wrap, a table never grows wider than the screen. Menu links take the
// whole row, at least 44 pixels high.
const QLatin1StringView Viewport(
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n");
const QLatin1StringView CommonStyle(
    "body{margin:0;padding:8px 14px 24px;font-size:16px;line-height:1.7;"
    "-webkit-text-size-adjust:100%;overflow-wrap:anywhere}"
    "table{width:100%;max-width:100%;table-layout:fixed;border-collapse:collapse}"
    "td{padding:8px 6px;overflow-wrap:anywhere}"
    "img,video,iframe{max-width:100%;height:auto}pre{white-space:pre-wrap}"
    "input{font-size:16px;min-height:40px}");
const QLatin1StringView MenuStyle(
    "a{display:block;min-height:44px;padding:10px 2px;box-sizing:border-box}"
    "a+br{display:none}td{padding:0 6px}");
const QLatin1StringView QaStyle(
    "a.nav{display:inline-block;min-width:44px;min-height:44px;line-height:44px;"
    "margin-right:16px}");

} // namespace

QString phoneHead(bool menu)
{
    static const QString forMenu = Viewport + QLatin1StringView("<style>") + CommonStyle +
                                   MenuStyle + QLatin1StringView("</style>\r\n");
    static const QString forQa = Viewport + QLatin1StringView("<style>") + CommonStyle + QaStyle +
                                 QLatin1StringView("</style>\r\n");
    return menu ? forMenu : forQa;
}

QString qaPageName(qint64 no)
{
    // At least three digits after any sign: -5 gives qa-005.html.
    const QString digits = QString::number(no < 0 ? quint64(0) - quint64(no) : quint64(no));
    return QLatin1StringView(no < 0 ? "qa-" : "qa") + digits.rightJustified(3, u'0') +
           QLatin1StringView(".html");
}

QString subPageName(const QString &stem)
{
    return stem + QLatin1StringView(".html");
}

QString qaPage(const QaRecord &record, const QString &backLink, Layout layout, bool phone,
               const QString &indexName)
{
    Page page(record.quest.size() * 2 + record.anser.size() + (phone ? 1000 : 400));
    page.head(record.quest, phone ? phoneHead(false) : QString());
    if (layout == Layout::Rules) {
        page.line(QStringLiteral("<質問><br>"))
            .line(record.quest)
            .line(QLatin1StringView("<br><hr>"))
            .line(QStringLiteral("<答え><br>"))
            .line(record.anser)
            .line(QLatin1StringView("<br><hr>"));
    } else {
        page.line(QLatin1StringView("<table border=1>"))
            .line(QStringLiteral("<tr><td><b>＜　質　問　＞</b></td></tr>"))
            .line(QLatin1StringView("<tr><td>"), record.quest, QLatin1StringView("</td></tr>"))
            .line(QStringLiteral("<tr><td><b>＜　答　え　＞</b></td></tr>"))
            .line(QLatin1StringView("<tr><td>"), record.anser, QLatin1StringView("</td></tr>"))
            .line(QLatin1StringView("</table><hr>"));
    }
    if (phone)
        return page.phoneLinks(backLink, indexName).tail();
    return page.backLink(backLink).tail();
}

QString indexPage(const QString &title, const QStringList &categories, Layout layout, bool bigTitle,
                  QString *stoppedAt, bool phone, bool search)
{
    Page page(1000 + categories.size() * 80);
    page.head(title, phone ? phoneHead(true) : QString());
    if (search)
        page.searchBox();
    page.menuHeading(title, layout, bigTitle);
    for (const QString &kind : categories) {
        const std::optional<CategoryKey> key = CategoryKey::split(kind);
        if (!key) {
            if (stoppedAt)
                *stoppedAt = kind;
            return page.take();
        }
        page.menuEntry(subPageName(key->stem), key->title, layout);
    }
    return page.menuEnd(layout).tail();
}

QString subPage(const QString &title, const QList<qint64> &nos, const QStringList &quests,
                const QString &indexName, Layout layout, bool bigTitle, bool phone)
{
    Page page(1000 + nos.size() * 100);
    page.head(title, phone ? phoneHead(true) : QString()).menuHeading(title, layout, bigTitle);
    for (qsizetype i = 0; i < nos.size() && i < quests.size(); ++i)
        page.menuEntry(qaPageName(nos.at(i)), quests.at(i), layout);
    return page.menuEnd(layout).backLink(indexName).tail();
}

QString searchPage(const QString &script, const QString &indexName, Layout layout, bool bigTitle,
                   bool phone)
{
    const QString title = QStringLiteral("サイト内検索");
    Page page(script.size() + 2000);
    page.head(title, phone ? phoneHead(true) : QString());
    if (layout == Layout::Rules) {
        page.line(title, QLatin1StringView("<br><hr>"));
    } else {
        if (bigTitle)
            page.line(QLatin1StringView("<FONT size=\"+2\">"));
        page.line(QLatin1StringView("<b>"), title, QLatin1StringView("</b>"));
        if (bigTitle)
            page.line(QLatin1StringView("</FONT>"));
        page.line(QLatin1StringView("<br><hr>"));
    }
    page.searchBox()
        .line(QLatin1StringView("<p id=\"wzcount\"></p>"))
        .line(QLatin1StringView("<div id=\"wzresults\"></div>"))
        .line(QLatin1StringView("<p id=\"wzmore\"></p>"))
        .line(QLatin1StringView("<hr>"));
    if (!indexName.isEmpty())
        page.backLink(indexName);
    page.line(QLatin1StringView("<script>")).line(script).line(QLatin1StringView("</script>"));
    return page.tail();
}

} // namespace Pages
