// End to end through the mixer: a short song ticked and mixed the way the chunk renderer does
// it must come out as audible music at the expected pitch.
#include <cmath>
#include <vector>

#include "engine_fixture.h"

namespace ostrel::test {
namespace {

class RenderTest : public EngineTest {
  protected:
    // Mixes `frames` stereo frames, calling the tick function whenever a tick is due.
    std::vector<float> render(int frames) {
        std::vector<float> out(static_cast<size_t>(frames) * 2, 0.0f);
        int done = 0;
        while (done < frames) {
            if (player.samplesLeftInTick == 0) {
                player.tickFunction(&player);
                player.samplesLeftInTick = player.samplesPerTick;
            }
            int n = std::min(player.samplesLeftInTick, frames - done);
            mixVoices(&player, out.data() + static_cast<size_t>(done) * 2, n);
            player.samplesLeftInTick -= n;
            done += n;
        }
        return out;
    }
    // A sine sample of `period` frames per cycle, looping over whole cycles.
    void sineSample(int period) {
        for (uint32_t k = 0; k < sampleFrames; ++k) {
            data[0][k] = static_cast<int16_t>(20000.0 * std::sin(6.283185307179586 * k / period));
        }
        uint32_t loop = sampleFrames / period * period;
        samples[0].loopLength = loop;
        data[0][loop] = data[0][0];
    }
};

int risingZeroCrossings(const std::vector<float>& out, size_t from, size_t to) {
    int count = 0;
    for (size_t i = from + 1; i < to; ++i) {
        if (out[2 * (i - 1)] < 0.0f && out[2 * i] >= 0.0f) {
            ++count;
        }
    }
    return count;
}

TEST_F(RenderTest, SongIsAudibleAtTheExpectedPitch) {
    setMixerRate(&player, 44100);
    sineSample(50); // 50 frames per cycle
    // C-4 plays the sample at 8363 Hz: 167.26 cycles per second; an octave up doubles it.
    put(0, 0, 0, 49, 1);
    put(0, 8, 0, 61, 1);
    start();
    std::vector<float> out = render(44100); // one second: 8 rows of 882 x 6 frames = 0.96 s
    float peak = 0.0f;
    for (float s : out) {
        peak = std::max(peak, std::fabs(s));
    }
    EXPECT_GT(peak, 1000.0f);
    // Half a second from frame 2000 on: about 83.6 cycles of the first note.
    EXPECT_NEAR(risingZeroCrossings(out, 2000, 2000 + 22050), 84, 2);
    // The octave: from row 8 on (8 * 6 * 882 = 42336 frames).
    std::vector<float> more = render(22050);
    EXPECT_NEAR(risingZeroCrossings(more, 0, 22050), 167, 2);
}

TEST_F(RenderTest, KeyOffWithoutEnvelopeFadesTheVoiceOut) {
    setMixerRate(&player, 44100);
    sineSample(50);
    put(0, 0, 0, 49, 1);
    put(0, 1, 0, noteKeyOff, 0);
    start();
    render(6 * 882 + 882); // row 0 and the key-off tick
    std::vector<float> tail = render(882);
    float peak = 0.0f;
    for (float s : tail) {
        peak = std::max(peak, std::fabs(s));
    }
    EXPECT_LT(peak, 1.0f);
}

} // namespace
} // namespace ostrel::test
