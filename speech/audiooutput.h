// The sound side of read-aloud. It lives on a thread of its own, so that no
// call into the sound server can hold the window: one raw PCM output on the
// desktop's default device, fed from memory.
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

class QAudioSink;
class QBuffer;

class AudioOutput : public QObject
{
    Q_OBJECT
public:
    // 16-bit mono at the given rate.
    static QAudioFormat format(int sampleRate);

    explicit AudioOutput(std::shared_ptr<const std::atomic<quint64>> current, QObject *parent = nullptr);
    ~AudioOutput() override;

    // Outputs in existence in the whole program (one, or none between items
    // and while an old one is being deleted), for the benchmark's leak check.
    static int openOutputs();

public slots:
    // Silence at once.
    void cut();
    // Plays 16-bit mono samples for an item.
    void play(quint64 item, const QByteArray &samples, int sampleRate);

signals:
    void started(quint64 item);
    void finished(quint64 item);
    // No output device, or the output failed: nothing is heard.
    void unavailable(quint64 item);

private:
    bool isCurrent(quint64 item) const;
    void stopOutput();
    void dropOutput();
    void outputStateChanged();

    std::shared_ptr<const std::atomic<quint64>> m_current;
    bool m_closing = false;
    QAudioSink *m_sink = nullptr; // the item's output, made afresh for each
    QBuffer *m_buffer = nullptr;
    quint64 m_playing = 0; // the item the output holds, 0 for none
    bool m_startedSent = false;
};
