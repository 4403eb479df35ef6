#include "help/frmshuoming.h"

frmShuoming::frmShuoming(QWidget *owner) : QWidget(owner, Qt::Window) {}
frmShuoming *frmShuoming::showInstance(QWidget *) { return nullptr; }
