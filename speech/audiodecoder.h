// The service's audio turned into the samples the sound output plays: WAV,
// MP3, FLAC and Ogg (Vorbis, Opus) through libsndfile, from memory. Qt's
// decoder is not used: on Qt 6.4 its GStreamer backend keeps about 4.5 kB of
// every file it decodes, which a day of autoplay turns into megabytes.
#pragma once

#include "speech/localspeech.h"

#include <QByteArray>

namespace audiodecoder {
// Mono 16-bit samples at the file's own rate, the channels mixed; at most
// maxSeconds of them. Empty when the data is no audio libsndfile can read.
localspeech::Pcm decode(const QByteArray &encoded, int maxSeconds = 120);
} // namespace audiodecoder
