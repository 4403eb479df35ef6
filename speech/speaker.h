// Plays the spoken form of an item: the online TTS request when an endpoint
// is configured, local speech otherwise or when the request fails. A new
// call cuts the previous audio off at once.
//
// Every call returns at once. The request runs in the HTTP module, the
// local voice and the decoding of the service's audio on a thread of their
// own, the sound output on another; whatever the sound server does, the
// window does not wait for it.
// Nothing is created before the first item is spoken.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class HttpClient;
struct HttpAnswer;

class Speaker : public QObject
{
    Q_OBJECT
    // For callers that reach the speaker through its module only.
    Q_PROPERTY(QString currentCaption READ currentCaption)
    Q_PROPERTY(QString lastLocalText READ lastLocalText)
    Q_PROPERTY(int openOutputs READ openOutputs)
    Q_PROPERTY(int threadCount READ threadCount)
public:
    explicit Speaker(QObject *parent = nullptr);
    ~Speaker() override;

    // requestUrl: the full TTS request, empty when no endpoint is set.
    // caption: the item as shown; spokenText: the text the request carries
    // (the representative characters for a pinyin item).
    void speak(const QString &requestUrl, const QString &caption, const QString &spokenText);
    void stop();
    // The syllable table for local speech, when the caller has it loaded
    // already; otherwise it is read the first time it is needed.
    void setSyllableTable(const QString &table);

    // Where the online request goes: the HTTP module, unless the caller
    // hands its own (a module reaches the HTTP module through the program).
    void setHttpClient(std::function<HttpClient *()> client);
    // How long the online request may take before local speech takes over.
    void setRequestTimeout(int ms);

    // The caption being spoken (empty after stop), the audio received for it
    // (the service's answer, or the local speech as a WAV file; empty until
    // it is ready), and what the local voice was last asked to say, with the
    // length of what it said.
    QString currentCaption() const;
    QByteArray currentAudio() const;
    QString lastLocalText() const;
    qint64 lastLocalSampleCount() const;

    // Sound outputs open in this process (at most one is kept), and speech
    // threads running; for the benchmark's leak checks.
    int openOutputs() const;
    int threadCount() const;

signals:
    // The current item's audio is decoded or synthesised and goes to the
    // output; source is "online" or "local".
    void audioReady(const QString &source);
    // The sound output began to play it.
    void playbackStarted(const QString &source);
    // The audio of the current item played to its end.
    void playbackFinished(const QString &source);
    // Nothing will be heard for the current item: nothing to say, no voice,
    // no sound device, or the device failed.
    void silent();

private:
    void ensureWorkers();
    void shutdown();
    void fetched(const HttpAnswer &answer);
    void speakLocally();
    void cancelRequest();
    void synthesised(quint64 item, const QByteArray &samples, int sampleRate);
    void decoded(quint64 item, const QByteArray &samples, int sampleRate);
    void play(quint64 item, const QByteArray &samples, int sampleRate);
    bool isCurrent(quint64 item) const;

    struct Private;
    std::unique_ptr<Private> d;
};
