#include "PreviewWindow.h"

#include "db/Texts.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

namespace
{

bool isAsciiSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}

// Where the tag or comment that opens at `at` ends: just past its ">", or
// the end of the page. A ">" in a quoted value does not end a tag.
qsizetype tagEnd(const QString &page, qsizetype at)
{
    if (QStringView(page).mid(at).startsWith(u"<!--")) {
        const qsizetype close = page.indexOf(u"-->", at + 4);
        return close < 0 ? page.size() : close + 3;
    }
    QChar quote;
    QChar before;
    for (qsizetype i = at + 1; i < page.size(); ++i) {
        const QChar c = page.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'>') {
            return i + 1;
        } else if ((c == u'"' || c == u'\'') && before == u'=') {
            quote = c;
        }
        if (!isAsciiSpace(c))
            before = c;
    }
    return page.size();
}

// The page as Qt's reader must get it to show what a web browser shows.
// A browser opens a tag only at "<" followed by a letter, "/", "!" or "?";
// any other "<", as in the labels "<質問>" and "<答え>", is text there, where
// Qt takes it for an unknown tag and drops it. Qt collapses an ideographic
// space with the white space around it, as a browser never does: the table
// layout's labels and answers indented with it would shrink. And Qt puts
// what follows a rule on the next line into the rule's own block, drawing
// the rule below it: the line break after a rule, nothing to a browser, goes.
QString asBrowsersRead(const QString &page)
{
    QString out;
    out.reserve(page.size() + 256);
    const qsizetype n = page.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = page.at(i);
        if (c == u'\u3000') {
            qsizetype end = i + 1;
            while (end < n && page.at(end) == c)
                ++end;
            out += QLatin1StringView("<span style=\"white-space:pre-wrap\">");
            out += QStringView(page).mid(i, end - i);
            out += QLatin1StringView("</span>");
            i = end;
            continue;
        }
        if (c != u'<') {
            out += c;
            ++i;
            continue;
        }
        const QStringView rest = QStringView(page).mid(i + 1);
        const char16_t next = rest.isEmpty() ? 0 : rest.front().unicode();
        if (!((next >= u'a' && next <= u'z') || (next >= u'A' && next <= u'Z') || next == u'/' ||
              next == u'!' || next == u'?')) {
            out += QLatin1StringView("&lt;");
            ++i;
            continue;
        }
        // A tag, whole: nothing in it is text.
        const qsizetype end = tagEnd(page, i);
        out += QStringView(page).mid(i, end - i);
        const bool rule = rest.size() > 2 && rest.startsWith(u"hr", Qt::CaseInsensitive) &&
                          (rest[2] == u'>' || rest[2] == u'/' || isAsciiSpace(rest[2]));
        for (i = end; rule && i < n && isAsciiSpace(page.at(i)); ++i) {
        }
    }
    return out;
}

} // namespace

PreviewWindow::PreviewWindow(Record record, Options options, QWidget *parent)
    : QDialog(parent), m_record(std::move(record)), m_options(std::move(options)),
      m_text(new QTextBrowser), m_pause(new QTimer(this))
{
    setObjectName(QStringLiteral("preview"));
    setWindowTitle(QStringLiteral("プレビュー"));
    setModal(false);
    m_text->setObjectName(QStringLiteral("previewText"));
    // The page's links lead to pages of the site, not into this window.
    m_text->setOpenLinks(false);
    // Building a page for every key pressed would make typing lag on a
    // long answer.
    m_pause->setSingleShot(true);
    m_pause->setInterval(300);
    connect(m_pause, &QTimer::timeout, this, &PreviewWindow::refresh);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    resize(520, 480);
}

void PreviewWindow::showInFront()
{
    refresh();
    show();
    raise();
    activateWindow();
}

void PreviewWindow::boxesChanged()
{
    // A closed window is built again when it is shown.
    if (isVisible())
        m_pause->start();
}

void PreviewWindow::refresh()
{
    m_pause->stop();
    const SiteOptions options = m_options();
    const std::optional<QString> page = SiteGenerator::qaPage(m_record(), options);
    if (m_built && page.value_or(QString()) == m_page)
        return;
    m_built = true;
    m_page = page.value_or(QString());
    m_html = page ? asBrowsersRead(m_page) : QString();
    // Typing further down a long answer keeps it in view.
    QScrollBar *bar = m_text->verticalScrollBar();
    const int at = bar->value();
    if (page) {
        // Pictures named relative to the page are found where it would go.
        m_text->setSearchPaths({options.folder});
        m_text->setHtml(m_html);
    } else {
        m_text->setPlainText(Texts::badCategory());
    }
    bar->setValue(at);
}

bool PreviewWindow::event(QEvent *event)
{
    // Back from the HTML tab with other choices: shown with those.
    if (event->type() == QEvent::WindowActivate)
        refresh();
    return QDialog::event(event);
}
