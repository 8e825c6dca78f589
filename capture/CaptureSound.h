#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The PCM samples of a RIFF/WAVE file.
struct WaveData {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    const uint8_t* samples = nullptr; // points into the file's bytes
    size_t size = 0;
};

// Reads the format and data chunks of an uncompressed 8- or 16-bit PCM wave file. False for
// anything else, including chunks that claim more bytes than the file has.
bool ParseWave(const uint8_t* data, size_t size, WaveData& out);

// Plays a wave file through the desktop's sound service and returns at once. Nothing is
// heard, and nothing is reported, where there is no sound service or device; a sound asked
// for while another still plays is dropped rather than queued.
void PlayWaveAsync(std::vector<uint8_t> wav);
