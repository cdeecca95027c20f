#pragma once

#include <QListView>
#include <QStringList>

// A list box: lines kept in the order added, numbered from 0, with at most
// one selected line (-1 when none). Backed by a model of its own so that a
// list of a hundred thousand lines fills in one step and is held compactly.
class ListBox : public QListView
{
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent = nullptr);

    void clear();
    void setItems(const QStringList &lines);

    int count() const;
    QString item(int row) const;
    QStringList items() const;

    int currentRow() const;      // the selected line, -1 when none
    void setCurrentRow(int row); // -1 clears the selection
    QString currentText() const; // empty when none selected

signals:
    // A double-click on a line, or Enter on the selected line.
    void lineDoubleClicked(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    class Lines;
    Lines *m_model;
};
