// The audio engine module: the Speaker behind the SpeechEngine interface.
#include "speech/speaker.h"
#include "speech/speechengine.h"

#include <QObject>

namespace {
class SpeakerEngine : public QObject, public SpeechEngine
{
public:
    SpeakerEngine(QObject *parent, const QString &syllableTable, std::function<HttpClient *()> http)
        : QObject(parent), m_speaker(new Speaker(this))
    {
        m_speaker->setSyllableTable(syllableTable);
        m_speaker->setHttpClient(std::move(http));
    }

    void speak(const QString &requestUrl, const QString &caption, const QString &spokenText) override
    {
        m_speaker->speak(requestUrl, caption, spokenText);
    }
    void stop() override { m_speaker->stop(); }
    QObject *signalSource() override { return m_speaker; }

private:
    Speaker *m_speaker;
};
} // namespace

class SpeechPlugin : public QObject, public SpeechEngineFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SpeechEngineFactory_iid)
    Q_INTERFACES(SpeechEngineFactory)
public:
    SpeechEngine *createEngine(QObject *parent, const QString &syllableTable,
                               std::function<HttpClient *()> http) override
    {
        return new SpeakerEngine(parent, syllableTable, std::move(http));
    }
};

#include "speechplugin.moc"
