// Plays the spoken form of an item: the online TTS request when an endpoint
// is configured, local speech otherwise or when the request fails. A new
// call cuts the previous audio off at once.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class Speaker : public QObject
{
    Q_OBJECT
public:
    explicit Speaker(QObject *parent = nullptr);
    ~Speaker() override;

    // requestUrl: the full TTS request, empty when no endpoint is set.
    // caption: the item as shown; spokenText: the text the request carries
    // (the representative characters for a pinyin item).
    void speak(const QString &requestUrl, const QString &caption, const QString &spokenText);
    void stop();

signals:
    // Audio began to play; source is "online" or "local".
    void playbackStarted(const QString &source);
    // Nothing could be played for the last request.
    void silent();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
