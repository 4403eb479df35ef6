// What a window asks of the audio engine. The engine itself (Qt Multimedia,
// espeak-ng and the libraries they pull in) lives in a module that is loaded
// the first time an item is spoken, so a start-up never pays for it.
#pragma once

#include "core/modules.h"

#include <QString>
#include <QtPlugin>

#include <functional>

class HttpClient;
class QObject;

class SpeechEngine
{
public:
    virtual ~SpeechEngine() = default;
    // requestUrl: the full TTS request, empty when no endpoint is set.
    // caption: the item as shown; spokenText: the text the request carries.
    // A new call cuts the previous audio off at once.
    virtual void speak(const QString &requestUrl, const QString &caption, const QString &spokenText) = 0;
    virtual void stop() = 0;
    // The object carrying the engine's signals: audioReady(QString source)
    // when an item's audio is decoded or synthesised and handed to the sound
    // output, playbackStarted(QString source) when the output really plays,
    // playbackFinished(QString source), and silent() when nothing can be
    // heard (no audio, or no sound device).
    virtual QObject *signalSource() = 0;
};

class SpeechEngineFactory
{
public:
    virtual ~SpeechEngineFactory() = default;
    // A new engine, deleted with parent, reading pinyin with the syllable
    // table the window has loaded and fetching online speech through the
    // HTTP client that `http` gives (asked for at the first online item; a
    // module has its own copy of the module loader, which knows nothing of
    // where the program found its modules).
    virtual SpeechEngine *createEngine(QObject *parent, const QString &syllableTable,
                                       std::function<HttpClient *()> http)
        = 0;
};

Q_DECLARE_INTERFACE(SpeechEngineFactory, SpeechEngineFactory_iid)

namespace speech {
// A new engine from the module, loading it on first use; nullptr when the
// module is missing or cannot be loaded (then nothing is spoken).
SpeechEngine *createEngine(QObject *parent, const QString &syllableTable);
} // namespace speech
