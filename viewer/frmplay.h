// The stroke-order viewer.
#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QString>
#include <QWidget>

class StrokeView;

class frmPlay : public QWidget
{
    Q_OBJECT
public:
    explicit frmPlay(QWidget *owner);
    ~frmPlay() override;

    // The character box.
    void setCharacter(const QString &text);
    // "看笔顺": looks the box's character up and shows its stroke order.
    void Command2_Click();
    // "查看该字详情": the dictionary page of the box's character, window maximized.
    void Command1_Click();
    // Enter (character code 13) in the box looks the character up.
    void Text1_KeyPress(int keyAscii);
    // "写一写": asks for writing practice of the box's character (writeRequested).
    void cmdWrite_Click();

    // ---- State read by tests ----
    // The address the view was last pointed at; empty for a blank view or
    // the offline animation.
    const QString &currentAddress() const { return m_address; }
    bool webViewShown() const;
    bool strokeViewShown() const;
    // nullptr until an online address has been shown, and for good when the
    // web view module cannot be loaded.
    QWidget *webView() const { return m_webView; }
    StrokeView *strokeView() const { return m_strokeView; }

    // ---- Controls ----
    QLineEdit *Text1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *cmdWrite = nullptr; // 写一写
    // The view: the offline stroke animation or, once needed, the web view.
    QStackedWidget *WebBrowser1 = nullptr;

signals:
    // "写一写" with a character in the box: the window that opened the viewer
    // opens the writing practice, which lives above the viewer.
    void writeRequested(const QString &character);
    // The web view finished a top-level document (after any centring was requested).
    void documentComplete(const QString &address);

protected:
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void webViewLoadFinished();

private:
    void createControls();
    void Form_Load();
    void Form_Resize();
    void WebBrowser1_DocumentComplete(const QString &address);
    // Points the view at an online address, creating the web view on first
    // use; false when no web view can be had.
    bool navigate(const QString &address);
    // Shows the offline animation of text (empty view when there is no data).
    void showOffline(const QString &text);
    void Text1_Change();
    void refreshDetailsButton();

    QString m_address;
    QWidget *m_webView = nullptr;
    StrokeView *m_strokeView = nullptr;
};
