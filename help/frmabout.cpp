#include "help/frmabout.h"

frmAbout::frmAbout(QWidget *owner) : QWidget(owner, Qt::Window) {}
frmAbout *frmAbout::showInstance(QWidget *) { return nullptr; }
