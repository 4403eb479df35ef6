#include "speech/speaker.h"

#include "core/httpclient.h"
#include "core/network.h"
#include "resources/texts.h"
#include "speech/audiodecoder.h"
#include "speech/audiooutput.h"
#include "speech/localspeech.h"

#include <QCoreApplication>
#include <QThread>
#include <QUrl>

namespace {
const QString online = QStringLiteral("online");
const QString local = QStringLiteral("local");

// A spoken item is a few seconds of audio; anything far larger is not speech for us.
constexpr qint64 maxAudioBytes = 16 * 1024 * 1024;

// How long closing waits for a speech thread to end before leaving it to the
// end of the process.
constexpr int shutdownWaitMs = 2000;

// The service answers errors with a text or JSON page under status 200, so
// the body itself decides: known audio containers, or a declared audio type
// (whose bytes the decoder then judges).
bool looksLikeAudio(const QByteArray &body, const QByteArray &contentType)
{
    if (body.size() < 4)
        return false;
    const auto byte = [&body](int i) { return uchar(body.at(i)); };
    if (body.startsWith("RIFF") && body.mid(8, 4) == "WAVE")
        return true;
    if (body.startsWith("ID3") || body.startsWith("OggS") || body.startsWith("fLaC"))
        return true;
    if (byte(0) == 0xFF && (byte(1) & 0xE0) == 0xE0) // MPEG audio or AAC frame
        return true;
    if (body.size() >= 8 && body.mid(4, 4) == "ftyp") // MP4 / M4A
        return true;
    return contentType.trimmed().toLower().startsWith("audio/");
}
} // namespace

// Makes the samples for the sound output, on a thread of its own: a long
// item takes espeak-ng a tenth of a second or more, and decoding the
// service's answer some milliseconds, which the window must not wait for.
class PcmWorker : public QObject
{
    Q_OBJECT
public:
    explicit PcmWorker(std::shared_ptr<const std::atomic<quint64>> current)
        : m_current(std::move(current)) { }

    void say(quint64 item, const QString &text)
    {
        // Items stepped over in a burst are skipped, and one overtaken while
        // it is being synthesised is abandoned.
        const auto overtaken = [this, item] { return m_current->load() != item; };
        if (overtaken())
            return;
        const localspeech::Pcm pcm = localspeech::synthesize(text, overtaken);
        if (!overtaken())
            emit said(item, pcm.samples, pcm.sampleRate);
    }

    void decode(quint64 item, const QByteArray &encoded)
    {
        if (m_current->load() != item)
            return;
        const localspeech::Pcm pcm = audiodecoder::decode(encoded);
        if (m_current->load() == item)
            emit decoded(item, pcm.samples, pcm.sampleRate);
    }

signals:
    void said(quint64 item, const QByteArray &samples, int sampleRate);
    // Empty samples: the data was no audio.
    void decoded(quint64 item, const QByteArray &samples, int sampleRate);

private:
    std::shared_ptr<const std::atomic<quint64>> m_current;
};

struct Speaker::Private {
    // Counts the items spoken and stopped; the workers drop anything that is
    // not for the latest one.
    std::shared_ptr<std::atomic<quint64>> current = std::make_shared<std::atomic<quint64>>(0);

    // Created at the first speak: start-up pays for none of them.
    QThread *workerThread = nullptr;
    PcmWorker *worker = nullptr;
    QThread *soundThread = nullptr;
    AudioOutput *output = nullptr;
    // The HTTP module, asked for when the first online item is spoken.
    std::function<HttpClient *()> http = [] { return modules::get<HttpClient>(); };
    std::unique_ptr<HttpCall> request;

    QString caption;
    QString spokenText;
    QByteArray audio;
    QString source; // "online" or "local" once the audio is ready

    QString syllableTable;
    bool tableLoaded = false;
    QString lastLocalText;
    qint64 lastLocalSamples = 0;
    int timeoutMs = 4000;
};

Speaker::Speaker(QObject *parent) : QObject(parent), d(std::make_unique<Private>()) { }

Speaker::~Speaker()
{
    stop();
    shutdown();
}

void Speaker::shutdown()
{
    ++*d->current;
    for (QThread *thread : {d->workerThread, d->soundThread}) {
        if (!thread)
            continue;
        thread->quit();
        // A thread that does not end in time (a sound server that hangs) is
        // left running rather than destroyed under its feet; the process is
        // closing anyway.
        if (thread->wait(shutdownWaitMs))
            delete thread;
    }
    d->workerThread = d->soundThread = nullptr;
    d->worker = nullptr;
    d->output = nullptr;
}

void Speaker::ensureWorkers()
{
    if (d->workerThread)
        return;
    // Ended before the application goes, even when the window that owns the
    // speaker outlives the event loop.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &Speaker::shutdown, Qt::UniqueConnection);

    d->workerThread = new QThread;
    d->workerThread->setObjectName(QStringLiteral("lorvanta-speech"));
    d->worker = new PcmWorker(d->current);
    d->worker->moveToThread(d->workerThread);
    connect(d->workerThread, &QThread::finished, d->worker, &QObject::deleteLater);
    connect(d->worker, &PcmWorker::said, this, &Speaker::synthesised);
    connect(d->worker, &PcmWorker::decoded, this, &Speaker::decoded);
    d->workerThread->start();

    d->soundThread = new QThread;
    d->soundThread->setObjectName(QStringLiteral("lorvanta-sound"));
    d->output = new AudioOutput(d->current);
    d->output->moveToThread(d->soundThread);
    connect(d->soundThread, &QThread::finished, d->output, &QObject::deleteLater);
    connect(d->output, &AudioOutput::started, this, [this](quint64 item) {
        if (isCurrent(item))
            emit playbackStarted(d->source);
    });
    connect(d->output, &AudioOutput::finished, this, [this](quint64 item) {
        if (isCurrent(item))
            emit playbackFinished(d->source);
    });
    connect(d->output, &AudioOutput::unavailable, this, [this](quint64 item) {
        if (isCurrent(item))
            emit silent();
    });
    d->soundThread->start();
}

bool Speaker::isCurrent(quint64 item) const { return item == d->current->load(); }

void Speaker::setRequestTimeout(int ms) { d->timeoutMs = qMax(1, ms); }

QString Speaker::currentCaption() const { return d->caption; }

QByteArray Speaker::currentAudio() const { return d->audio; }

QString Speaker::lastLocalText() const { return d->lastLocalText; }

qint64 Speaker::lastLocalSampleCount() const { return d->lastLocalSamples; }

int Speaker::openOutputs() const { return AudioOutput::openOutputs(); }

int Speaker::threadCount() const
{
    int n = 0;
    for (const QThread *thread : {d->workerThread, d->soundThread})
        n += thread && thread->isRunning() ? 1 : 0;
    return n;
}

void Speaker::speak(const QString &requestUrl, const QString &caption, const QString &spokenText)
{
    stop();
    d->caption = caption;
    d->spokenText = spokenText;

    // Only a web address is fetched: a file or data address is no service.
    const QUrl url(requestUrl);
    if (requestUrl.isEmpty() || !modPub::isWebAddress(url)) {
        speakLocally();
        return;
    }

    HttpClient *http = d->http ? d->http() : nullptr;
    if (!http) {
        speakLocally(); // no HTTP module: the local voice it is
        return;
    }
    d->request = http->get(requestUrl, d->timeoutMs, maxAudioBytes, this,
                           [this](const HttpAnswer &answer) { fetched(answer); });
}

void Speaker::setHttpClient(std::function<HttpClient *()> client) { d->http = std::move(client); }

void Speaker::stop()
{
    ++*d->current;
    cancelRequest();
    d->caption.clear();
    d->audio.clear();
    d->source.clear();
    // Queued to the sound thread, which has nothing else to do: the audio
    // stops within a few milliseconds.
    if (AudioOutput *output = d->output)
        QMetaObject::invokeMethod(output, &AudioOutput::cut, Qt::QueuedConnection);
}

// An abandoned request gives no answer: it must not fall back to speech.
void Speaker::cancelRequest() { d->request.reset(); }

void Speaker::fetched(const HttpAnswer &answer)
{
    d->request.reset();
    const QByteArray &body = answer.body;
    if (!answer.timedOut && answer.status >= 200 && answer.status < 300 && body.size() <= maxAudioBytes
        && looksLikeAudio(body, answer.contentType)) {
        ensureWorkers();
        d->audio = body;
        const quint64 item = d->current->load();
        PcmWorker *worker = d->worker;
        QMetaObject::invokeMethod(
            worker, [worker, item, body] { worker->decode(item, body); }, Qt::QueuedConnection);
    } else {
        speakLocally();
    }
}

void Speaker::decoded(quint64 item, const QByteArray &samples, int sampleRate)
{
    if (!isCurrent(item))
        return;
    if (samples.isEmpty()) {
        // The service sent something that cannot be played.
        d->audio.clear();
        speakLocally();
        return;
    }
    d->source = online;
    emit audioReady(online);
    play(item, samples, sampleRate);
}

void Speaker::setSyllableTable(const QString &table)
{
    d->syllableTable = table;
    d->tableLoaded = true;
}

void Speaker::speakLocally()
{
    if (!d->tableLoaded) {
        d->syllableTable = resources::syllableTable();
        d->tableLoaded = true;
    }
    QString text = localspeech::localText(d->caption, d->syllableTable);
    if (text.trimmed().isEmpty())
        text = d->spokenText;
    d->lastLocalText = text;
    d->lastLocalSamples = 0;
    if (text.trimmed().isEmpty()) {
        emit silent();
        return;
    }
    ensureWorkers();
    const quint64 item = d->current->load();
    PcmWorker *worker = d->worker;
    QMetaObject::invokeMethod(
        worker, [worker, item, text] { worker->say(item, text); }, Qt::QueuedConnection);
}

void Speaker::synthesised(quint64 item, const QByteArray &samples, int sampleRate)
{
    if (!isCurrent(item))
        return;
    d->lastLocalSamples = samples.size() / 2;
    if (samples.isEmpty()) {
        emit silent(); // the voice is missing or failed
        return;
    }
    localspeech::Pcm pcm;
    pcm.samples = samples;
    pcm.sampleRate = sampleRate;
    d->audio = localspeech::wavFile(pcm);
    d->source = local;
    emit audioReady(local);
    play(item, samples, sampleRate);
}

void Speaker::play(quint64 item, const QByteArray &samples, int sampleRate)
{
    AudioOutput *output = d->output;
    if (!output)
        return; // closing
    QMetaObject::invokeMethod(
        output, [output, item, samples, sampleRate] { output->play(item, samples, sampleRate); },
        Qt::QueuedConnection);
}

#include "speaker.moc"
