// Every message box answered and recorded instead of shown, for as long as
// the recorder lives.
#pragma once

#include "widgets/messagebox.h"

#include <QList>
#include <QStringList>

struct Shown {
    QString text;
    MessageIcon icon;
    MessageButtons buttons;
    bool operator==(const Shown &o) const { return text == o.text && icon == o.icon && buttons == o.buttons; }
};

class MessageRecorder
{
public:
    MessageRecorder()
    {
        setMessageAnswerer([this](const QString &text, MessageIcon icon, MessageButtons buttons) {
            shown.append({text, icon, buttons});
            return buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
        });
    }
    ~MessageRecorder() { setMessageAnswerer({}); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    QStringList texts() const
    {
        QStringList l;
        for (const Shown &s : shown)
            l << s.text;
        return l;
    }

    QList<Shown> shown;
    // The answer to a Yes/No question.
    MessageAnswer answer = MessageAnswer::Yes;
};
