#pragma once

#include "db/QaRecord.h"
#include "site/SiteGenerator.h"

#include <QDialog>
#include <functional>

class QTextBrowser;
class QTimer;

// The page a record would get, as a site run writes it now, beside the tab
// whose boxes hold the record. The boxes and the HTML tab's choices are read
// afresh each time the page is built, so it never shows a stale mix.
class PreviewWindow : public QDialog
{
    Q_OBJECT
public:
    using Record = std::function<QaRecord()>;
    using Options = std::function<SiteOptions()>;

    PreviewWindow(Record record, Options options, QWidget *parent);

    // The page as a run would write it; empty while a message stands in
    // its place.
    QString page() const { return m_page; }
    // The text given to the browser: the page, with each "<" that a web
    // browser shows as text written as "&lt;" (Qt's reader drops "<質問>").
    QString html() const { return m_html; }

public slots:
    void showInFront();  // shown, built now, above the other windows
    void boxesChanged(); // built again once typing pauses
    void refresh();

protected:
    bool event(QEvent *event) override;

private:
    Record m_record;
    Options m_options;
    QTextBrowser *m_text;
    QTimer *m_pause;
    QString m_page;
    QString m_html;
    bool m_built = false;
};
