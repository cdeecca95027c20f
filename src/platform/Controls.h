#pragma once

#include <QFrame>
#include <QLabel>
#include <QString>
#include <utility>

// Controls are created with their given name as objectName, so that tests
// and code find each one by the name it has always had. The parent is set
// when the control is placed in a layout.
template <class W, class... Args> W *named(const char *name, Args &&...args)
{
    auto *w = new W(std::forward<Args>(args)...);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// A label without a caption of its own: a bordered field the code writes into.
inline QLabel *fieldLabel(const char *name)
{
    auto *label = named<QLabel>(name);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label->setMinimumHeight(label->fontMetrics().height() + 6);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A separating line of the original layout.
inline QFrame *lineControl(const char *name, QFrame::Shape shape = QFrame::HLine)
{
    auto *line = named<QFrame>(name);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}
