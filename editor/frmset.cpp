#include "editor/frmset.h"

frmSet::frmSet(QWidget *parent) : QDialog(parent) {}
