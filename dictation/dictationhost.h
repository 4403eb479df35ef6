// What dictation needs from the window that opens it (the practice window),
// so that dictation never calls into that window's own code.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;
class SpeechEngine;

namespace sheet {
class Pages;
}

class DictationHost
{
public:
    virtual ~DictationHost() = default;
    // The window's audio engine, loaded on first use; nullptr when there is none.
    virtual SpeechEngine *speechEngine() = 0;
    // The syllable table the window reads pinyin with.
    virtual QString syllableTable() const = 0;
    // "练习错字": the items become the window's deck for this run.
    virtual void practise(const QStringList &items) = 0;
    // The copybook of `items`; `label` says what they are ("听写错字（4 个）").
    virtual void openCopybook(QWidget *owner, const QStringList &items, const QString &label) = 0;
    // Prints the pages or saves them as PDF, through the copybook's printing;
    // `name` is the document's name ("听写纸").
    virtual void printPages(QWidget *owner, sheet::Pages &pages, const QString &name) = 0;
};
