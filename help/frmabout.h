// The About window.
#pragma once

#include <QWidget>

class frmAbout : public QWidget
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *owner);
    // Shows the one instance, owned by owner; an open window is reused.
    static frmAbout *showInstance(QWidget *owner);
};
