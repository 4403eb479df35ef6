#include "widgets/filedialog.h"

#include <QFileDialog>

FileDialog &FileDialog::instance()
{
    static FileDialog dialog;
    return dialog;
}

QString FileDialog::getSaveFileName(QWidget *parent, const QString &caption, const QString &proposed,
                                    const QString &filter)
{
    m_lastProposed = proposed;
    if (!m_nextAnswers.isEmpty())
        return m_nextAnswers.takeFirst();
    return QFileDialog::getSaveFileName(parent, caption, proposed, filter);
}

void FileDialog::setNextFileName(const QString &path) { m_nextAnswers.append(path); }
