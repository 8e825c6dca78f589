#include "capture/CaptureSound.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "imagefile/ByteOrder.h"

namespace {

std::atomic<bool> g_playing{false};

} // namespace

bool ParseWave(const uint8_t* data, size_t size, WaveData& out) {
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return false;
    bool haveFormat = false;
    size_t pos = 12;
    while (size - pos >= 8) {
        const uint8_t* chunk = data + pos;
        const uint32_t length = LE32(chunk + 4);
        if (length > size - pos - 8) return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || LE16(chunk + 8) != 1) return false; // PCM only
            out.channels = LE16(chunk + 10);
            out.sampleRate = int(LE32(chunk + 12));
            out.bitsPerSample = LE16(chunk + 22);
            haveFormat = out.channels >= 1 && out.channels <= 8 && out.sampleRate > 0 &&
                         (out.bitsPerSample == 8 || out.bitsPerSample == 16);
            if (!haveFormat) return false;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return false;
            out.samples = chunk + 8;
            out.size = length;
            return true;
        }
        pos += 8 + length + (length & 1); // chunks are padded to even sizes
    }
    return false;
}

void PlayWaveAsync(std::vector<uint8_t> wav) {
    WaveData wave;
    if (!ParseWave(wav.data(), wav.size(), wave)) return;
    bool expected = false;
    if (!g_playing.compare_exchange_strong(expected, true)) return;
    std::thread([wav = std::move(wav), wave]() {
        pa_sample_spec format;
        format.format = wave.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
        format.rate = uint32_t(wave.sampleRate);
        format.channels = uint8_t(wave.channels);
        int error = 0;
        if (pa_simple* s = pa_simple_new(nullptr, "Orvane Screen", PA_STREAM_PLAYBACK, nullptr,
                                         "capture", &format, nullptr, nullptr, &error)) {
            if (pa_simple_write(s, wave.samples, wave.size, &error) == 0)
                pa_simple_drain(s, &error);
            pa_simple_free(s);
        }
        g_playing = false;
    }).detach();
}
