#include "speech/audiodecoder.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <vector>

#include <sndfile.h>

namespace audiodecoder {
namespace {

// libsndfile reads the answer where it lies, through these callbacks.
struct Memory {
    const QByteArray *data = nullptr;
    sf_count_t pos = 0;
};

sf_count_t length(void *user) { return static_cast<Memory *>(user)->data->size(); }

sf_count_t seek(sf_count_t offset, int whence, void *user)
{
    auto *m = static_cast<Memory *>(user);
    const sf_count_t size = m->data->size();
    sf_count_t to = offset;
    if (whence == SEEK_CUR)
        to = m->pos + offset;
    else if (whence == SEEK_END)
        to = size + offset;
    m->pos = std::clamp<sf_count_t>(to, 0, size);
    return m->pos;
}

sf_count_t read(void *ptr, sf_count_t count, void *user)
{
    auto *m = static_cast<Memory *>(user);
    const sf_count_t n = std::clamp<sf_count_t>(m->data->size() - m->pos, 0, std::max<sf_count_t>(count, 0));
    std::memcpy(ptr, m->data->constData() + m->pos, size_t(n));
    m->pos += n;
    return n;
}

sf_count_t write(const void *, sf_count_t, void *) { return 0; }

sf_count_t tell(void *user) { return static_cast<Memory *>(user)->pos; }
} // namespace

localspeech::Pcm decode(const QByteArray &encoded, int maxSeconds)
{
    localspeech::Pcm pcm;
    if (encoded.isEmpty())
        return pcm;
    Memory memory {&encoded, 0};
    SF_VIRTUAL_IO io {length, seek, read, write, tell};
    SF_INFO info {};
    SNDFILE *file = sf_open_virtual(&io, SFM_READ, &info, &memory);
    if (!file)
        return pcm;
    // A header can claim anything; only plausible audio is read.
    if (info.channels < 1 || info.channels > 8 || info.samplerate < 4000 || info.samplerate > 192000) {
        sf_close(file);
        return pcm;
    }
    const qint64 maxFrames = qint64(info.samplerate) * maxSeconds;
    constexpr sf_count_t chunk = 4096;
    std::vector<short> frames(size_t(chunk * info.channels));
    QByteArray out;
    qint64 total = 0;
    while (total < maxFrames) {
        const sf_count_t got
            = sf_readf_short(file, frames.data(), std::min<sf_count_t>(chunk, maxFrames - total));
        if (got <= 0)
            break;
        const qsizetype at = out.size();
        out.resize(at + qsizetype(got) * 2);
        char *to = out.data() + at;
        for (sf_count_t i = 0; i < got; ++i) {
            int sum = 0;
            for (int c = 0; c < info.channels; ++c)
                sum += frames[size_t(i * info.channels + c)];
            qToLittleEndian<qint16>(qint16(sum / info.channels), to + 2 * i);
        }
        total += got;
    }
    sf_close(file);
    pcm.samples = out;
    pcm.sampleRate = out.isEmpty() ? 0 : info.samplerate;
    return pcm;
}
} // namespace audiodecoder
