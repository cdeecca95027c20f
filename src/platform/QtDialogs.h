#pragma once

#include "Dialogs.h"

class QWidget;

class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    void message(const QString &text) override;
    bool ask(const QString &text, const QString &title, Icon icon, Default button) override;
    Answer askYesNoCancel(const QString &text, const QString &title, Icon icon,
                          Answer button) override;
    std::optional<int> choose(const QString &text, const QString &title,
                              const QStringList &items) override;
    std::optional<QString> saveFileName(const SaveRequest &request) override;
    std::optional<QString> openFileName(const OpenRequest &request) override;

private:
    QWidget *m_parent;
};
