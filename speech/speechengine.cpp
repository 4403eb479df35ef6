#include "speech/speechengine.h"

#include "core/modules.h"

namespace speech {

QString moduleFileName() { return QStringLiteral("lorvanta_speech.so"); }

SpeechEngine *createEngine(QObject *parent, const QString &syllableTable)
{
    auto *factory = qobject_cast<SpeechEngineFactory *>(modules::instance(moduleFileName()));
    return factory ? factory->createEngine(parent, syllableTable) : nullptr;
}
} // namespace speech
