#include "speech/speaker.h"

#include "speech/localspeech.h"
#include "resources/texts.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QBuffer>
#include <QMediaDevices>
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
    // The players made so far and the one speaking for the current item. A
    // player whose item was cut off is muted and left to run to its end; it
    // is used again once it has finished. Stopping a GStreamer pipeline that
    // is still starting up can hold the window for a second, and deleting a
    // running one can crash inside the backend; letting it drain does neither.
    QList<QMediaPlayer *> players;
    QMediaPlayer *player = nullptr;

    QPointer<QNetworkReply> reply;
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
    stop();
    // A running pipeline is stopped before it goes; each player goes before
    // the buffer it reads from (the buffer is its child).
    for (QMediaPlayer *p : std::as_const(d->players)) {
        p->stop();
        p->setSource(QUrl());
    }
    qDeleteAll(d->players);
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
    // Silent at once; the pipeline runs out on its own.
    if (d->player && d->player->audioOutput())
        d->player->audioOutput()->setMuted(true);
    d->player = nullptr;
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

namespace {
// A player is free again when it has nothing left to play.
bool isFree(const QMediaPlayer *player)
{
    const QMediaPlayer::MediaStatus status = player->mediaStatus();
    return status == QMediaPlayer::NoMedia || status == QMediaPlayer::EndOfMedia
        || status == QMediaPlayer::InvalidMedia || player->playbackState() == QMediaPlayer::StoppedState;
}

// More items cut off in quick succession than this, and the oldest player is
// stopped after all.
constexpr qsizetype maxPlayers = 4;
} // namespace

QMediaPlayer *Speaker::freePlayer()
{
    for (QMediaPlayer *p : std::as_const(d->players))
        if (isFree(p))
            return p;
    if (d->players.size() < maxPlayers) {
        auto *p = new QMediaPlayer;
        // Without an audio output the GStreamer pipeline has no sink and fails;
        // with no sound card it still plays, into nothing.
        auto *output = new QAudioOutput(p);
        p->setAudioOutput(output);
        // Follow the desktop's default output, e.g. a headset plugged in later.
        auto *devices = new QMediaDevices(p);
        connect(devices, &QMediaDevices::audioOutputsChanged, output,
                [output] { output->setDevice(QMediaDevices::defaultAudioOutput()); });
        connect(p, &QMediaPlayer::mediaStatusChanged, this, [this, p](QMediaPlayer::MediaStatus status) {
            if (p != d->player || d->source.isEmpty())
                return;
            if ((status == QMediaPlayer::BufferedMedia || status == QMediaPlayer::LoadedMedia) && !d->started
                && p->playbackState() == QMediaPlayer::PlayingState) {
                d->started = true;
                emit playbackStarted(d->source);
            } else if (status == QMediaPlayer::EndOfMedia) {
                emit playbackFinished(d->source);
            }
        });
        connect(p, &QMediaPlayer::errorOccurred, this, [this, p](QMediaPlayer::Error error, const QString &) {
            if (p != d->player || error == QMediaPlayer::NoError || d->source.isEmpty())
                return;
            const bool wasOnline = d->source == online;
            const quint64 generation = d->generation;
            d->source.clear();
            // A failed pipeline is not used again: it goes, and a fresh player
            // takes its place. Queued: the player is not touched from inside
            // its own signal.
            d->players.removeOne(p);
            QTimer::singleShot(0, this, [this, p, wasOnline, generation] {
                if (d->player == p)
                    d->player = nullptr;
                p->stop();
                p->deleteLater();
                if (generation != d->generation)
                    return;
                clearPlayer();
                if (wasOnline)
                    speakLocally(); // the service sent something the player cannot play
                else
                    emit silent();
            });
        });
        d->players.append(p);
        return p;
    }
    QMediaPlayer *oldest = d->players.takeFirst();
    d->players.append(oldest);
    oldest->stop();
    return oldest;
}

void Speaker::play(const QByteArray &audio, const QString &source)
{
    clearPlayer();
    QMediaPlayer *p = freePlayer();
    d->player = p;
    d->audio = audio;
    d->source = source;
    // The buffer belongs to the player and is replaced only when the player
    // has moved on to the new one.
    QBuffer *previous = p->findChild<QBuffer *>(QString(), Qt::FindDirectChildrenOnly);
    auto *device = new QBuffer(p);
    device->setData(d->audio);
    device->open(QIODevice::ReadOnly);
    // The player finds the format from the bytes; the name is only a hint.
    p->setSourceDevice(device, QUrl(source == local ? QStringLiteral("speech.wav")
                                                    : QStringLiteral("speech.mp3")));
    delete previous;
    p->audioOutput()->setMuted(false);
    p->play();
}
