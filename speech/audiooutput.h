// The sound side of read-aloud. It lives on a thread of its own, so that no
// call into the sound server or the decoder can hold the window: one raw PCM
// output on the desktop's default device, fed from memory, and a decoder that
// turns the service's audio into PCM for it.
//
// Every request carries the number of the item it belongs to. The speaker
// counts items in `current`; work for an item that is no longer current is
// dropped wherever it is found.
#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QObject>
#include <atomic>
#include <memory>

class QAudioDecoder;
class QAudioSink;
class QBuffer;

class AudioOutput : public QObject
{
    Q_OBJECT
public:
    // 16-bit mono at the local voice's rate; decoded audio is converted to it.
    static QAudioFormat format(int sampleRate = 22050);

    explicit AudioOutput(std::shared_ptr<const std::atomic<quint64>> current, QObject *parent = nullptr);
    ~AudioOutput() override;

    // Outputs in existence in the whole program (one, or none between items
    // and while an old one is being deleted), for the benchmark's leak check.
    static int openOutputs();

public slots:
    // Silence at once: stops the output and drops the decoding under way.
    void cut();
    // Plays 16-bit mono samples for an item.
    void play(quint64 item, const QByteArray &samples, int sampleRate);
    // Decodes the service's answer and plays it; decoded() tells the outcome.
    void decode(quint64 item, const QByteArray &encoded);

signals:
    // ok false: nothing playable came out of the data.
    void decoded(quint64 item, bool ok);
    void started(quint64 item);
    void finished(quint64 item);
    // No output device, or the output failed: nothing is heard.
    void unavailable(quint64 item);

private:
    bool isCurrent(quint64 item) const;
    void stopOutput();
    void dropOutput();
    void dropDecoder();
    void outputStateChanged();
    void decoderDone(bool ok);

    std::shared_ptr<const std::atomic<quint64>> m_current;
    QAudioSink *m_sink = nullptr;  // the item's output, made afresh for each
    QBuffer *m_buffer = nullptr;
    quint64 m_playing = 0;   // the item the output holds, 0 for none
    bool m_startedSent = false;

    QAudioDecoder *m_decoder = nullptr;
    QBuffer *m_encoded = nullptr;
    QByteArray m_decodedPcm;
    quint64 m_decoding = 0;
};
