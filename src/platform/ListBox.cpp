#include "ListBox.h"

#include <QAbstractListModel>
#include <QKeyEvent>
#include <QMetaMethod>

// The lines one after another in one text: a list of a hundred thousand
// questions, numbers or file names held as a string apiece cost some 80
// bytes a line besides its characters, and a window may hold several.
// A line may hold line breaks (a summary line holds the answer's); each is
// shown as a mark so that every line keeps one row of one height.
class ListBox::Lines : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    void setLines(const QStringList &lines)
    {
        beginResetModel();
        // The old lines let go first, the new ones sized exactly.
        m_text = QString();
        m_ends = QList<qsizetype>();
        qsizetype size = 0;
        for (const QString &line : lines)
            size += line.size();
        m_text.reserve(size);
        m_ends.reserve(lines.size());
        for (const QString &line : lines) {
            m_text += line;
            m_ends.append(m_text.size());
        }
        endResetModel();
    }

    QString line(int row) const
    {
        if (row < 0 || row >= m_ends.size())
            return {};
        const qsizetype from = row ? m_ends[row - 1] : 0;
        return m_text.sliced(from, m_ends[row] - from);
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_ends.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
            return {};
        QString text = line(index.row());
        if (role == Qt::DisplayRole && (text.contains(u'\n') || text.contains(u'\r'))) {
            text.replace(QStringLiteral("\r\n"), QStringLiteral("↵"));
            text.replace(u'\r', u'↵').replace(u'\n', u'↵');
        }
        return text;
    }

    QStringList all() const
    {
        QStringList list;
        list.reserve(m_ends.size());
        for (int row = 0; row < m_ends.size(); ++row)
            list.append(line(row));
        return list;
    }

private:
    QString m_text;
    QList<qsizetype> m_ends; // where each line ends in m_text
};

ListBox::ListBox(QWidget *parent) : QListView(parent), m_model(new Lines(this))
{
    setModel(m_model);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { emit lineDoubleClicked(index.row()); });
}

void ListBox::keyPressEvent(QKeyEvent *event)
{
    // Enter does what a double-click does, for a list that has something to
    // do; any other list leaves Enter to its window. Held down, it acts once:
    // each time would open another page.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain && currentRow() >= 0 &&
        isSignalConnected(QMetaMethod::fromSignal(&ListBox::lineDoubleClicked))) {
        event->accept();
        if (!event->isAutoRepeat())
            emit lineDoubleClicked(currentRow());
        return;
    }
    QListView::keyPressEvent(event);
}

void ListBox::clear()
{
    m_model->setLines({});
}

void ListBox::setItems(const QStringList &lines)
{
    m_model->setLines(lines);
}

int ListBox::count() const
{
    return m_model->rowCount();
}

QString ListBox::item(int row) const
{
    return m_model->line(row);
}

QStringList ListBox::items() const
{
    return m_model->all();
}

int ListBox::currentRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void ListBox::setCurrentRow(int row)
{
    if (row < 0 || row >= m_model->rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = m_model->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

QString ListBox::currentText() const
{
    const int row = currentRow();
    return row < 0 ? QString() : item(row);
}
