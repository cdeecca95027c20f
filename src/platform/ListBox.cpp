#include "ListBox.h"

#include <QKeyEvent>
#include <QMetaMethod>
#include <QStringListModel>

namespace
{

// A line may hold line breaks (a summary line holds the answer's); each is
// shown as a mark so that every line keeps one row of one height.
class OneRowModel : public QStringListModel
{
public:
    using QStringListModel::QStringListModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return QStringListModel::data(index, role);
        QString text = QStringListModel::data(index, role).toString();
        if (text.contains(u'\n') || text.contains(u'\r')) {
            text.replace(QStringLiteral("\r\n"), QStringLiteral("↵"));
            text.replace(u'\r', u'↵').replace(u'\n', u'↵');
        }
        return text;
    }
};

} // namespace

ListBox::ListBox(QWidget *parent) : QListView(parent), m_model(new OneRowModel(this))
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
    m_model->setStringList({});
}

void ListBox::setItems(const QStringList &lines)
{
    m_model->setStringList(lines);
}

int ListBox::count() const
{
    return m_model->rowCount();
}

QString ListBox::item(int row) const
{
    return m_model->data(m_model->index(row), Qt::EditRole).toString();
}

QStringList ListBox::items() const
{
    return m_model->stringList();
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
