// Shared by the loader tests: load a writer-built module and own the result.
#pragma once

#include <memory>
#include <vector>

#include "module/stream.h"
#include "tests/support/xm_writer.h"

namespace ostrel::loadertest {

struct PlayerDeleter {
    void operator()(ModulePlayer* player) const { destroyPlayer(player); }
};
using PlayerPtr = std::unique_ptr<ModulePlayer, PlayerDeleter>;

inline PlayerPtr loadBytes(const std::vector<uint8_t>& bytes,
                           SampleDataProvider provider = nullptr) {
    return PlayerPtr(xmtest::createPlayerFromImage(bytes, provider));
}

// A load that takes a file cut short inside its data (loadTolerant).
inline PlayerPtr loadTolerantly(const std::vector<uint8_t>& bytes) {
    return PlayerPtr(createPlayer(xmtest::imageHooks(bytes), "image.xm", nullptr,
                                  &xmtest::lastImageReason(), loadTolerant));
}

inline PlayerPtr load(const xmtest::XmModule& module, SampleDataProvider provider = nullptr) {
    std::vector<uint8_t> bytes = xmtest::buildXm(module).bytes;
    return loadBytes(bytes, provider);
}

inline const PatternCell& cellAt(const ModulePlayer& player, int pattern, int row, int channel) {
    return player.patterns[pattern].cells[row * player.channelCount + channel];
}

// A module with one instrument holding the given samples.
inline xmtest::XmModule withSamples(std::vector<xmtest::XmSample> samples) {
    xmtest::XmModule m;
    m.instruments.resize(1);
    m.instruments[0].samples = std::move(samples);
    return m;
}

} // namespace ostrel::loadertest
