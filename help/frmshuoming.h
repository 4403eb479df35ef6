// The instructions window.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

class frmShuoming : public QWidget
{
    Q_OBJECT
public:
    explicit frmShuoming(QWidget *owner);
    // Shows the one instance, owned by owner; an open window is reused.
    static frmShuoming *showInstance(QWidget *owner);
    // The open instance, or nullptr.
    static frmShuoming *instance();

    QPlainTextEdit *Text1 = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void Form_Load();
    void Form_Resize();
};
