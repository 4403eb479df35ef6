// The instructions window.
#pragma once

#include <QWidget>

class frmShuoming : public QWidget
{
    Q_OBJECT
public:
    explicit frmShuoming(QWidget *owner);
    // Shows the one instance, owned by owner; an open window is reused.
    static frmShuoming *showInstance(QWidget *owner);
};
