#include "ListBox.h"

#include <QStringListModel>

ListBox::ListBox(QWidget *parent) : QListView(parent), m_model(new QStringListModel(this))
{
    setModel(m_model);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { emit lineDoubleClicked(index.row()); });
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
    return m_model->data(m_model->index(row)).toString();
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
