#pragma once

#include "Desktop.h"

class QtDesktop : public Desktop
{
public:
    void open(const QUrl &url) override;
    QString clipboardText() override;
};
