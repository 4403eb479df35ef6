// The character-bank editor.
#pragma once

#include <QDialog>

class frmSet : public QDialog
{
    Q_OBJECT
public:
    explicit frmSet(QWidget *parent = nullptr);
};
