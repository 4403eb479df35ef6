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

// What the windows say when the bank may be read but not changed.
inline QString bankReadOnlyText(const QString &path)
{
    return QStringLiteral("生字库“%1”在只读的位置（比如写保护的U盘），只能练习，不能修改或删除。").arg(path);
}

// A modal box titled "Lorvanta"; returns the button pressed.
MessageAnswer showMessage(QWidget *parent, const QString &text, MessageIcon icon, MessageButtons buttons);
// Replaces the real boxes (an empty function restores them).
void setMessageAnswerer(MessageAnswerer answerer);
