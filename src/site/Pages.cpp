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

    // Lines 1 to 7, the same on every page.
    Page &head(const QString &title)
    {
        return line(QLatin1StringView("<HTML>"))
            .line(QLatin1StringView("<HEAD>"))
            .line(QLatin1StringView(
                "<META HTTP-EQUIV=\"Content-type\" CONTENT=\"text/html; charset=Shift_JIS\">"))
            .line(QLatin1StringView("<TITLE>"), title, QLatin1StringView("</TITLE>"))
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

    Page &backLink(const QString &target)
    {
        return line(QLatin1StringView("<A href=\""), target, u"\">戻る</A>"_qs);
    }

private:
    QString m_text;
};

} // namespace

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

QString qaPage(const QaRecord &record, const QString &backLink, Layout layout)
{
    Page page(record.quest.size() * 2 + record.anser.size() + 400);
    page.head(record.quest);
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
    return page.backLink(backLink).tail();
}

QString indexPage(const QString &title, const QStringList &categories, Layout layout, bool bigTitle,
                  QString *stoppedAt)
{
    Page page(400 + categories.size() * 80);
    page.head(title).menuHeading(title, layout, bigTitle);
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
                const QString &indexName, Layout layout, bool bigTitle)
{
    Page page(400 + nos.size() * 100);
    page.head(title).menuHeading(title, layout, bigTitle);
    for (qsizetype i = 0; i < nos.size() && i < quests.size(); ++i)
        page.menuEntry(qaPageName(nos.at(i)), quests.at(i), layout);
    return page.menuEnd(layout).backLink(indexName).tail();
}

} // namespace Pages
