#include "speech/audiooutput.h"

#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QMediaDevices>

namespace {
std::atomic<int> liveOutputs {0};
} // namespace

QAudioFormat AudioOutput::format(int sampleRate)
{
    QAudioFormat f;
    f.setSampleRate(sampleRate);
    f.setChannelCount(1);
    f.setSampleFormat(QAudioFormat::Int16);
    return f;
}

int AudioOutput::openOutputs() { return liveOutputs.load(); }

AudioOutput::AudioOutput(std::shared_ptr<const std::atomic<quint64>> current, QObject *parent)
    : QObject(parent), m_current(std::move(current)), m_buffer(new QBuffer(this))
{ }

AudioOutput::~AudioOutput()
{
    // Deleting an output runs this thread's pending events (Qt's PulseAudio
    // backend does so in its destructor): nothing queued for this object may
    // run from here on.
    m_closing = true;
    QCoreApplication::removePostedEvents(this);
    dropOutput();
    // Outputs waiting to be deleted go now, while this object is still whole,
    // one at a time: the events one runs may delete others.
    while (QAudioSink *sink = findChild<QAudioSink *>(QString(), Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removePostedEvents(sink);
        delete sink;
    }
}

bool AudioOutput::isCurrent(quint64 item) const { return item != 0 && item == m_current->load(); }

void AudioOutput::cut()
{
    if (!m_closing)
        stopOutput();
}

void AudioOutput::stopOutput()
{
    // Cleared first: the state change that stop() reports is ours, not news.
    m_playing = 0;
    if (m_sink)
        m_sink->stop();
    m_buffer->close();
}

void AudioOutput::dropOutput()
{
    m_playing = 0;
    if (QAudioSink *sink = m_sink) {
        m_sink = nullptr;
        sink->disconnect(this);
        sink->stop();
        // Later: this may run inside the sink's own signal.
        sink->deleteLater();
    }
    m_buffer->close();
}

void AudioOutput::play(quint64 item, const QByteArray &samples, int sampleRate)
{
    if (m_closing || !isCurrent(item))
        return;
    // A fresh output for every item, on whatever device is the default now
    // (the desktop may have switched to a headset, or lost its last device).
    // Restarting one output quickly, as a burst of steps does, can leave its
    // sound server stream stalled in silence; a new one always plays.
    dropOutput();
    if (samples.isEmpty() || sampleRate <= 0) {
        emit unavailable(item);
        return;
    }
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        emit unavailable(item);
        return;
    }
    m_sink = new QAudioSink(device, format(sampleRate), this);
    ++liveOutputs;
    connect(m_sink, &QObject::destroyed, [] { --liveOutputs; });
    connect(m_sink, &QAudioSink::stateChanged, this, &AudioOutput::outputStateChanged);
    m_buffer->setData(samples);
    m_buffer->open(QIODevice::ReadOnly);
    m_playing = item;
    m_startedSent = false;
    m_sink->start(m_buffer);
    // A sink that cannot open reports no change of state: it was stopped and stays so.
    if (m_sink && m_playing == item && m_sink->state() == QAudio::StoppedState) {
        dropOutput();
        emit unavailable(item);
    }
}

void AudioOutput::outputStateChanged()
{
    if (!m_sink || m_playing == 0)
        return;
    const quint64 item = m_playing;
    switch (m_sink->state()) {
    case QAudio::ActiveState:
        if (!m_startedSent) {
            m_startedSent = true;
            emit started(item);
        }
        break;
    case QAudio::IdleState:
        // Everything has been handed over. The output is not stopped here: that
        // would drop what the server still has to play; the next item stops it.
        if (m_buffer->atEnd()) {
            m_playing = 0;
            emit finished(item);
        }
        break;
    case QAudio::StoppedState:
        // The device went away or the server failed.
        if (m_sink->error() != QAudio::NoError) {
            dropOutput();
            emit unavailable(item);
        }
        break;
    case QAudio::SuspendedState: break;
    }
}
