// Plays the spoken form of an item: the online TTS request when an endpoint
// is configured, local speech otherwise or when the request fails. A new
// call cuts the previous audio off at once.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QMediaPlayer;

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

    // How long the online request may take before local speech takes over.
    void setRequestTimeout(int ms);
    int requestTimeout() const;

    // The audio handed to the player for the current item (empty when none),
    // and what the local voice was last asked to say, with its length.
    QByteArray currentAudio() const;
    QString lastLocalText() const;
    qint64 lastLocalSampleCount() const;

signals:
    // Audio began to play; source is "online" or "local".
    void playbackStarted(const QString &source);
    // The audio of the current item played to its end.
    void playbackFinished(const QString &source);
    // Nothing could be played for the last request.
    void silent();

private:
    void fetchFinished();
    void requestTimedOut();
    void speakLocally();
    void play(const QByteArray &audio, const QString &source);
    void cancelRequest();
    void clearPlayer();
    QMediaPlayer *freePlayer();

    struct Private;
    std::unique_ptr<Private> d;
};
