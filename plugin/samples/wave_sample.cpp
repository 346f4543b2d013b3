#include "plugin/samples/wave_sample.h"

#include <cstring>
#include <new>
#include <utility>

#include "plugin/samples/wave_file_reader.h"
#include "plugin/vst/plugin_message.h"

WaveSample::WaveSample(const WaveSample& other)
    : name(other.name),
      fileName(other.fileName),
      dataSize(other.dataSize),
      sampleRate(other.sampleRate),
      bitsPerSample(other.bitsPerSample),
      channels(other.channels),
      blockAlign(other.blockAlign),
      rootFrequency(other.rootFrequency) {
    if (other.data != nullptr && other.dataSize > 0) {
        data = std::make_unique<std::uint8_t[]>(other.dataSize);
        std::memcpy(data.get(), other.data.get(), other.dataSize);
    } else {
        dataSize = 0;
    }
}

WaveSample& WaveSample::operator=(const WaveSample& other) {
    if (this != &other) {
        WaveSample copy(other);
        swap(copy);
    }
    return *this;
}

WaveSample::WaveSample(WaveSample&& other) noexcept {
    swap(other);
}

WaveSample& WaveSample::operator=(WaveSample&& other) noexcept {
    if (this != &other) {
        WaveSample taken(std::move(other));
        swap(taken);
    }
    return *this;
}

void WaveSample::swap(WaveSample& other) noexcept {
    using std::swap;
    swap(name, other.name);
    swap(fileName, other.fileName);
    swap(dataSize, other.dataSize);
    swap(sampleRate, other.sampleRate);
    swap(bitsPerSample, other.bitsPerSample);
    swap(channels, other.channels);
    swap(blockAlign, other.blockAlign);
    swap(rootFrequency, other.rootFrequency);
    swap(data, other.data);
}

bool WaveSample::load(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    WaveFileReader reader;
    if (reader.open(path) != riff::kOk) {
        showPluginMessage("Wave file load failed.", "Error");
        reader.close();
        return false;
    }
    dataSize = reader.dataSize;
    sampleRate = static_cast<std::int32_t>(reader.format.nSamplesPerSec);
    channels = reader.format.nChannels;
    bitsPerSample = reader.format.wBitsPerSample;
    blockAlign = reader.format.nBlockAlign;

    // A damaged header may claim up to 4 GiB; never allocate more than the file
    // holds. A short file keeps what it has, as if the rest had been cut off.
    data.reset();
    const std::uint64_t available = reader.bytesRemaining();
    const bool truncated = dataSize > available;
    if (truncated) {
        dataSize = static_cast<std::uint32_t>(available);
    }
    if (dataSize > 0) {
        data.reset(new (std::nothrow) std::uint8_t[dataSize]);
        if (data == nullptr) {
            dataSize = 0;
            reader.close();
            return false;
        }
        const std::uint32_t got = reader.read(data.get(), dataSize);
        if (got != dataSize) {
            std::memset(data.get() + got, 0, dataSize - got);
            reader.close();
            return false;
        }
    }
    if (truncated) {
        reader.close();
        return false;
    }
    return reader.close() == riff::kOk;
}
