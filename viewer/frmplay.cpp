#include "viewer/frmplay.h"

frmPlay::frmPlay(QWidget *owner) : QWidget(owner, Qt::Window) {}
void frmPlay::setCharacter(const QString &) {}
void frmPlay::Command2_Click() {}
