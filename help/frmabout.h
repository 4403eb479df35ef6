// The About window.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "widgets/ui.h"

class frmAbout : public QWidget
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *owner);
    // Shows the one instance, owned by owner; an open window is reused.
    static frmAbout *showInstance(QWidget *owner);
    // The open instance, or nullptr.
    static frmAbout *instance();

    void Command1_Click();
    void Image1_Click();
    void Timer1_Timer();
    void Label11_Click();
    void Label4_Click();
    void Label6_Click();
    void Label8_Click();

    // The picture's Top in twips (kept exactly; the widget is placed from it).
    float image1Top() const { return m_image1Top; }
    // The restart height, as text.
    const QString &image1Tag() const { return m_image1Tag; }

    // ---- Controls ----
    ui::ClickLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;
    ui::ClickLabel *Label11 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label10 = nullptr;
    QLabel *Label3 = nullptr;
    ui::ClickLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    ui::ClickLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    ui::ClickLabel *Label8 = nullptr;
    QLabel *Label9 = nullptr;
    QPushButton *Command1 = nullptr;
    QTimer *Timer1 = nullptr;

private:
    void createControls();
    void Form_Load();
    void setImage1Top(float top);

    float m_image1Top = 120;
    QString m_image1Tag;
};
