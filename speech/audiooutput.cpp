#include "speech/audiooutput.h"

#include <QAudioBuffer>
#include <QAudioDecoder>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

namespace {
std::atomic<int> liveOutputs{0};

// A spoken item lasts seconds; decoded audio beyond this is cut short.
constexpr qsizetype maxDecodedBytes = 22050 * 2 * 120;
} // namespace

QAudioFormat AudioOutput::format(int sampleRate)
{
    QAudioFormat f;
    f.setSampleRate(sampleRate);
    f.setChannelCount(1);
    f.setSampleFormat(QAudioFormat::Int16);
    return f;
}

int AudioOutput::openOutputs()
{
    return liveOutputs.load();
}

AudioOutput::AudioOutput(std::shared_ptr<const std::atomic<quint64>> current, QObject *parent)
    : QObject(parent), m_current(std::move(current)), m_buffer(new QBuffer(this))
{
}

AudioOutput::~AudioOutput()
{
    dropDecoder();
    dropOutput();
}

bool AudioOutput::isCurrent(quint64 item) const
{
    return item != 0 && item == m_current->load();
}

void AudioOutput::cut()
{
    stopOutput();
    dropDecoder();
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
    if (!isCurrent(item))
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
    case QAudio::SuspendedState:
        break;
    }
}

void AudioOutput::decode(quint64 item, const QByteArray &encoded)
{
    if (!isCurrent(item))
        return;
    stopOutput();
    dropDecoder();
    m_decoding = item;
    m_decodedPcm.clear();
    m_decoder = new QAudioDecoder(this);
    // The data belongs to the decoder and goes with it.
    m_encoded = new QBuffer(m_decoder);
    m_encoded->setData(encoded);
    m_encoded->open(QIODevice::ReadOnly);
    m_decoder->setAudioFormat(format());
    m_decoder->setSourceDevice(m_encoded);
    connect(m_decoder, &QAudioDecoder::bufferReady, this, [this] {
        if (!m_decoder)
            return;
        const QAudioBuffer buffer = m_decoder->read();
        if (!buffer.isValid())
            return;
        if (buffer.format() != format()) {
            decoderDone(false);
            return;
        }
        m_decodedPcm.append(buffer.constData<char>(), buffer.byteCount());
        if (m_decodedPcm.size() >= maxDecodedBytes) {
            m_decodedPcm.truncate(maxDecodedBytes);
            decoderDone(true);
        }
    });
    connect(m_decoder, &QAudioDecoder::finished, this, [this] { decoderDone(true); });
    connect(m_decoder, qOverload<QAudioDecoder::Error>(&QAudioDecoder::error), this,
            [this](QAudioDecoder::Error) { decoderDone(false); });
    m_decoder->start();
}

void AudioOutput::decoderDone(bool ok)
{
    const quint64 item = m_decoding;
    const QByteArray pcm = std::exchange(m_decodedPcm, QByteArray());
    dropDecoder();
    if (!isCurrent(item))
        return;
    ok = ok && !pcm.isEmpty();
    emit decoded(item, ok);
    if (ok)
        play(item, pcm, format().sampleRate());
}

void AudioOutput::dropDecoder()
{
    m_decoding = 0;
    m_decodedPcm.clear();
    m_encoded = nullptr;
    if (QAudioDecoder *decoder = m_decoder) {
        m_decoder = nullptr;
        decoder->disconnect(this);
        decoder->stop();
        // Later: this may run inside the decoder's own signal.
        decoder->deleteLater();
    }
}
