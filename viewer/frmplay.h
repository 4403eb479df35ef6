// The stroke-order viewer.
#pragma once

#include <QWidget>

class frmPlay : public QWidget
{
    Q_OBJECT
public:
    explicit frmPlay(QWidget *owner);
    // The character box.
    void setCharacter(const QString &text);
    // "看笔顺": looks the box's character up and shows its stroke order.
    void Command2_Click();
};
