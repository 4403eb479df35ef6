#include "practice/speaker.h"

struct Speaker::Private {
};

Speaker::Speaker(QObject *parent) : QObject(parent), d(std::make_unique<Private>()) {}
Speaker::~Speaker() = default;

void Speaker::speak(const QString &, const QString &, const QString &) {}
void Speaker::stop() {}
