#include "practice/speaker.h"

#include "practice/localspeech.h"
#include "resources/texts.h"

#include <QAudioOutput>
#include <QBuffer>
#include <QMediaPlayer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace {
const QString online = QStringLiteral("online");
const QString local = QStringLiteral("local");

// A spoken item is a few seconds of audio; anything far larger is not speech for us.
constexpr qint64 maxAudioBytes = 16 * 1024 * 1024;

// The service answers errors with a text or JSON page under status 200, so
// the body itself decides: known audio containers, or a declared audio type
// (whose bytes the player then judges).
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

struct Speaker::Private {
    // Created at the first speak: start-up pays for none of them.
    QNetworkAccessManager *network = nullptr;
    QTimer *deadline = nullptr;
    QMediaPlayer *player = nullptr;
    QAudioOutput *output = nullptr;

    QPointer<QNetworkReply> reply;
    std::unique_ptr<QBuffer> device; // what the player reads from
    QByteArray audio;
    QString source;                  // "online" or "local" while the player holds audio
    bool started = false;
    quint64 generation = 0;          // counts speak and stop calls

    QString caption;
    QString spokenText;
    QString syllableTable;
    bool tableLoaded = false;
    QString lastLocalText;
    qint64 lastLocalSamples = 0;
    int timeoutMs = 4000;
};

Speaker::Speaker(QObject *parent) : QObject(parent), d(std::make_unique<Private>()) {}

Speaker::~Speaker()
{
    stop(); // deletes the player before the buffer it reads from
}

void Speaker::setRequestTimeout(int ms)
{
    d->timeoutMs = qMax(1, ms);
}

int Speaker::requestTimeout() const
{
    return d->timeoutMs;
}

QByteArray Speaker::currentAudio() const
{
    return d->audio;
}

QString Speaker::lastLocalText() const
{
    return d->lastLocalText;
}

qint64 Speaker::lastLocalSampleCount() const
{
    return d->lastLocalSamples;
}

void Speaker::speak(const QString &requestUrl, const QString &caption, const QString &spokenText)
{
    stop();
    d->caption = caption;
    d->spokenText = spokenText;

    const QUrl url(requestUrl);
    if (requestUrl.isEmpty() || !url.isValid() || url.host().isEmpty()) {
        speakLocally();
        return;
    }

    if (!d->network) {
        d->network = new QNetworkAccessManager(this);
        d->deadline = new QTimer(this);
        d->deadline->setSingleShot(true);
        connect(d->deadline, &QTimer::timeout, this, &Speaker::requestTimedOut);
    }
    QNetworkReply *reply = d->network->get(QNetworkRequest(url));
    d->reply = reply;
    connect(reply, &QNetworkReply::finished, this, &Speaker::fetchFinished);
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > maxAudioBytes)
            reply->abort();
    });
    d->deadline->start(d->timeoutMs);
}

void Speaker::stop()
{
    ++d->generation;
    cancelRequest();
    clearPlayer();
}

void Speaker::cancelRequest()
{
    if (d->deadline)
        d->deadline->stop();
    if (QNetworkReply *reply = d->reply.data()) {
        d->reply = nullptr;
        // Disconnected first: an aborted request must not fall back to speech.
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void Speaker::clearPlayer()
{
    // Each item gets a player of its own, and the old one is simply deleted:
    // stopping a GStreamer pipeline that is still starting up can hold the
    // window for a full second, tearing it down never does.
    delete d->player;
    d->player = nullptr;
    d->output = nullptr;
    d->device.reset();
    d->audio.clear();
    d->source.clear();
    d->started = false;
}

void Speaker::fetchFinished()
{
    QNetworkReply *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply || reply != d->reply)
        return;
    d->deadline->stop();
    d->reply = nullptr;
    reply->deleteLater();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
    if (status >= 200 && status < 300 && body.size() <= maxAudioBytes
        && looksLikeAudio(body, reply->header(QNetworkRequest::ContentTypeHeader).toByteArray())) {
        play(body, online);
    } else {
        speakLocally();
    }
}

void Speaker::requestTimedOut()
{
    if (!d->reply)
        return;
    cancelRequest();
    speakLocally();
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
    const localspeech::Pcm pcm = localspeech::synthesize(text);
    d->lastLocalSamples = pcm.sampleCount();
    if (pcm.isEmpty()) {
        emit silent();
        return;
    }
    play(localspeech::wavFile(pcm), local);
}

void Speaker::play(const QByteArray &audio, const QString &source)
{
    clearPlayer();
    d->player = new QMediaPlayer(this);
    // Without an audio output the GStreamer pipeline has no sink and fails;
    // with no sound card it still plays, into nothing. A new player per item
    // also follows the desktop's current default output.
    d->output = new QAudioOutput(d->player);
    d->player->setAudioOutput(d->output);
    connect(d->player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (d->source.isEmpty())
            return;
        if ((status == QMediaPlayer::BufferedMedia || status == QMediaPlayer::LoadedMedia) && !d->started
            && d->player->playbackState() == QMediaPlayer::PlayingState) {
            d->started = true;
            emit playbackStarted(d->source);
        } else if (status == QMediaPlayer::EndOfMedia) {
            emit playbackFinished(d->source);
        }
    });
    connect(d->player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error, const QString &) {
        if (error == QMediaPlayer::NoError || d->source.isEmpty())
            return;
        const bool wasOnline = d->source == online;
        const quint64 generation = d->generation;
        d->source.clear();
        // Queued: the player is not deleted from inside its own signal.
        QTimer::singleShot(0, this, [this, wasOnline, generation] {
            if (generation != d->generation)
                return;
            clearPlayer();
            if (wasOnline)
                speakLocally(); // the service sent something the player cannot play
            else
                emit silent();
        });
    });
    d->audio = audio;
    d->device = std::make_unique<QBuffer>();
    d->device->setData(d->audio);
    d->device->open(QIODevice::ReadOnly);
    d->source = source;
    // The player finds the format from the bytes; the name is only a hint.
    d->player->setSourceDevice(d->device.get(), QUrl(source == local ? QStringLiteral("speech.wav")
                                                                     : QStringLiteral("speech.mp3")));
    d->player->play();
}
