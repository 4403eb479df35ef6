// The card while a run goes on: "第 3 个 / 共 20 个", a loudspeaker and a line
// saying what happens now. Never the item.
#pragma once

#include <QWidget>

class DictationCard : public QWidget
{
    Q_OBJECT
public:
    explicit DictationCard(QWidget *parent = nullptr);
    void setTexts(const QString &position, const QString &status, const QString &note);
    QString position() const { return m_position; }
    QString status() const { return m_status; }
    QString note() const { return m_note; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_position;
    QString m_status;
    QString m_note;
};
