#include "app/platform/recording_midi_output.h"

#include <utility>

#include "app/platform/timer_service.h"

class RecordingPort final : public MidiOutputPort {
  public:
    RecordingPort(RecordingMidiOutputSystem& system, int deviceId)
        : system_(system), deviceId_(deviceId) {}
    ~RecordingPort() override { close(); }

    bool sendShort(std::uint32_t word) override {
        std::uint8_t bytes[3];
        std::size_t count = shortMessageBytes(word, bytes);
        if (closed_ || count == 0) {
            return false;
        }
        return put(RecordedMidiMessage::Kind::shortMessage, bytes, count,
                   &RecordingMidiOutputSystem::sendFails_);
    }

    bool sendLong(const std::uint8_t* bytes, std::size_t count) override {
        if (closed_ || bytes == nullptr || count == 0) {
            return false;
        }
        return put(RecordedMidiMessage::Kind::longMessage, bytes, count,
                   &RecordingMidiOutputSystem::sendFails_);
    }

    bool reset() override {
        if (closed_) {
            return false;
        }
        return put(RecordedMidiMessage::Kind::reset, nullptr, 0,
                   &RecordingMidiOutputSystem::resetFails_);
    }

    bool close() override {
        if (closed_) {
            return true;
        }
        closed_ = true;
        bool ok = put(RecordedMidiMessage::Kind::close, nullptr, 0,
                      &RecordingMidiOutputSystem::closeFails_);
        system_.portClosed();
        return ok;
    }

  private:
    bool put(RecordedMidiMessage::Kind kind, const std::uint8_t* bytes, std::size_t count,
             bool(RecordingMidiOutputSystem::*fails)) {
        RecordedMidiMessage message;
        message.kind = kind;
        message.timeMs = timerService().now();
        message.deviceId = deviceId_;
        if (bytes != nullptr) {
            message.bytes.assign(bytes, bytes + count);
        }
        return system_.record(std::move(message), fails);
    }

    RecordingMidiOutputSystem& system_;
    int deviceId_;
    bool closed_ = false;
};

void RecordingMidiOutputSystem::setDeviceCount(int count) {
    std::lock_guard lock(mutex_);
    deviceCount_ = count;
}

void RecordingMidiOutputSystem::setOpenFails(bool fails) {
    std::lock_guard lock(mutex_);
    openFails_ = fails;
}

void RecordingMidiOutputSystem::setSendFails(bool fails) {
    std::lock_guard lock(mutex_);
    sendFails_ = fails;
}

void RecordingMidiOutputSystem::setResetFails(bool fails) {
    std::lock_guard lock(mutex_);
    resetFails_ = fails;
}

void RecordingMidiOutputSystem::setCloseFails(bool fails) {
    std::lock_guard lock(mutex_);
    closeFails_ = fails;
}

void RecordingMidiOutputSystem::setListener(Listener listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

MidiOpenResult RecordingMidiOutputSystem::open(int deviceId,
                                               std::unique_ptr<MidiOutputPort>& port) {
    port.reset();
    std::lock_guard lock(mutex_);
    if (deviceCount_ <= 0) {
        return MidiOpenResult::noDevices;
    }
    if (openFails_ || deviceId < kDefaultMidiOutput || deviceId >= deviceCount_) {
        return MidiOpenResult::failed;
    }
    ++opens_;
    ++openDevices_;
    port = std::make_unique<RecordingPort>(*this, deviceId);
    return MidiOpenResult::opened;
}

std::vector<RecordedMidiMessage> RecordingMidiOutputSystem::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<std::vector<std::uint8_t>> RecordingMidiOutputSystem::sentBytes() const {
    std::lock_guard lock(mutex_);
    std::vector<std::vector<std::uint8_t>> sent;
    for (const RecordedMidiMessage& message : messages_) {
        if (message.kind == RecordedMidiMessage::Kind::shortMessage ||
            message.kind == RecordedMidiMessage::Kind::longMessage) {
            sent.push_back(message.bytes);
        }
    }
    return sent;
}

int RecordingMidiOutputSystem::opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

int RecordingMidiOutputSystem::openDevices() const {
    std::lock_guard lock(mutex_);
    return openDevices_;
}

void RecordingMidiOutputSystem::clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
}

bool RecordingMidiOutputSystem::record(RecordedMidiMessage message,
                                       bool(RecordingMidiOutputSystem::*fails)) {
    Listener listener;
    bool failed;
    {
        std::lock_guard lock(mutex_);
        failed = this->*fails;
        messages_.push_back(message);
        listener = listener_;
    }
    if (listener) {
        listener(message);
    }
    return !failed;
}

void RecordingMidiOutputSystem::portClosed() {
    std::lock_guard lock(mutex_);
    --openDevices_;
}
