#include "speech/speechengine.h"

#include "core/httpclient.h"
#include "core/modules.h"

namespace speech {

SpeechEngine *createEngine(QObject *parent, const QString &syllableTable)
{
    auto *factory = modules::get<SpeechEngineFactory>();
    return factory ? factory->createEngine(parent, syllableTable, [] { return modules::get<HttpClient>(); })
                   : nullptr;
}
} // namespace speech
