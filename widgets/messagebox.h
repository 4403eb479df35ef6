// Every message of the program goes through showMessage, so that tests can
// answer the boxes and read their texts.
#pragma once

#include <QString>
#include <functional>

class QWidget;

enum class MessageIcon { None, Information };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

using MessageAnswerer = std::function<MessageAnswer(const QString &text, MessageIcon, MessageButtons)>;

// What the windows say when the bank file could not be written.
inline QString bankNotSavedText()
{
    return QStringLiteral("字库没有保存成功，可能磁盘已满或文件夹不能写入。");
}

// A modal box titled "Lorvanta"; returns the button pressed.
MessageAnswer showMessage(QWidget *parent, const QString &text, MessageIcon icon, MessageButtons buttons);
// Replaces the real boxes (an empty function restores them).
void setMessageAnswerer(MessageAnswerer answerer);
