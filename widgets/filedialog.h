// Every file dialog of the program goes through FileDialog, so that tests
// can answer it without a dialog on screen: they set the next answer, and
// read what the dialog would have proposed.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

class FileDialog
{
public:
    static FileDialog &instance();

    // The system's save dialog titled `caption`, proposing `proposed` (a
    // path); the path chosen, or the empty text when it was cancelled.
    QString getSaveFileName(QWidget *parent, const QString &caption, const QString &proposed,
                            const QString &filter);

    // Answers the next dialogs in turn with these paths instead of showing
    // them (an empty path cancels); each answer is used once.
    void setNextFileName(const QString &path);
    // The path the last dialog proposed, shown or answered.
    QString lastProposed() const { return m_lastProposed; }

private:
    QStringList m_nextAnswers;
    QString m_lastProposed;
};
