// The in-memory form of one loaded XM module: the song fields and playback state of a
// ModulePlayer, its patterns, instruments and samples. Every record and block is allocated
// zero-filled and the code relies on it: a field the file does not supply reads as zero.
#pragma once

#include <cstdint>

namespace ostrel {

// Zero frames after a sample's frames (the first is the guard frame of a sample without loop):
// room for the guard frame and for the mixer, whose eight-frame loops load a window of up to
// 17 frames from the first frame of a pass.
constexpr uint32_t sampleSpareFrames = 24;

struct Sample {
    int16_t* data;         // length + sampleSpareFrames frames, guard frame at the play end; owned
    uint32_t length;       // frames
    uint32_t loopStart;    // frames
    uint32_t loopLength;   // frames; loopStart + loopLength is the play end for every loop type
    uint8_t volume;        // 0..64 as stored
    int8_t finetune;       // as stored; E5y may overwrite it during playback
    int32_t panning;       // 0..255
    uint8_t bitsPerSample; // as stored while loading (4: ADPCM-packed); 16 once converted
    uint8_t loopType;      // 1 no loop, 2 forward, 4 ping-pong
    int8_t relativeNote;   // semitones
    // The mixer's float copies, which only its AVX2 loops read: the loader leaves them null,
    // and playback start fills them in where those loops are in use (prepareFloatCopies in
    // audio/mixer.h). frameValues: the same length + sampleSpareFrames frames as floats, so that
    // the loops fetch the two frames of every interpolation with plain loads and no conversion.
    // loopCopies: a short forward loop's frames repeated, so that the mixer can read on past the
    // play end through many loop lengths without wrapping: loopCopyFrames frames (a whole number
    // of loop lengths, the first at loopStart's frame), then a guard frame and spare frames, in
    // all loopCopyFrames + sampleSpareFrames values. Either may stay null; the mixer then reads
    // data, to the same output. Owned.
    float* frameValues;
    float* loopCopies;
    uint32_t loopCopyFrames;
    // The header's 22-byte name as printable text (see ModulePlayer::title); playback never
    // reads it.
    char name[23];
};

enum : uint8_t { loopNone = 1, loopForward = 2, loopPingPong = 4 };

struct EnvelopePoint {
    uint16_t x; // tick
    uint16_t y; // 0..64
};

constexpr int envelopePointSlots = 20;
constexpr int envelopeFilePoints = 12;
// A sample map byte (0..255) can name this many samples.
constexpr int maxSamplesPerInstrument = 256;

struct Instrument {
    int32_t sampleCount; // 0..maxSamplesPerInstrument
    // sampleCount pointers, each to an owned Sample; null when sampleCount is 0. A map entry at
    // or past sampleCount selects emptySample. Owned.
    Sample** samples;
    uint8_t sampleMap[96]; // entry n serves note n + 1
    EnvelopePoint volumeEnvelope[envelopePointSlots];
    EnvelopePoint panningEnvelope[envelopePointSlots];
    uint8_t volumeEnvelopePointCount;
    uint8_t panningEnvelopePointCount;
    uint8_t volumeSustainPoint;
    uint8_t volumeLoopStartPoint;
    uint8_t volumeLoopEndPoint;
    uint8_t panningSustainPoint;
    uint8_t panningLoopStartPoint;
    uint8_t panningLoopEndPoint;
    uint8_t volumeEnvelopeFlags;  // bit 0 on, bit 1 sustain, bit 2 loop
    uint8_t panningEnvelopeFlags; // same bits
    uint8_t vibratoType;
    uint8_t vibratoSweep;
    uint8_t vibratoDepth;
    uint8_t vibratoRate;
    uint16_t fadeout; // twice the file's value
    // The header's 22-byte name as printable text (see ModulePlayer::title); playback never
    // reads it.
    char name[23];
};

enum : uint8_t { envelopeOn = 1, envelopeSustain = 2, envelopeLoop = 4 };

struct PatternCell {
    uint8_t note;       // 0 none, 1..96 C-0..B-7, 255 key-off
    uint8_t instrument; // 0 none, 1..128
    uint8_t volume;     // volume-column byte as stored
    uint8_t effect;
    uint8_t effectParam;
};

constexpr uint8_t noteKeyOff = 255;

struct Pattern {
    int32_t rowCount;
    PatternCell* cells; // rowCount x channelCount, row by row; owned
};

// The voice record: one sample being played at a fractional step, as the engine's voice update
// leaves it at the end of every tick and the mixer reads it between ticks.
struct Voice {
    int32_t index;        // own slot number
    int32_t volumeCopy;   // nothing reads it
    int32_t frequency;    // Hz before the 100 Hz floor; nothing reads it
    int32_t panningCopy;  // nothing reads it
    int32_t volume;       // final volume; 255 is full gain
    int32_t panning;      // 0..255
    int32_t startOffset;  // frame the next trigger starts at; consumed by the trigger
    const Sample* sample; // null: idle
    int32_t targetVolume0;
    int32_t targetVolume1;
    uint32_t positionInt;  // whole frames
    uint32_t positionFrac; // 1/2^32 frames
    uint32_t stepFrac;
    uint32_t stepInt;
    int32_t direction; // 1 forward, anything else backward
    int32_t lastTarget0;
    int32_t lastTarget1;
    int32_t currentVolume0; // 24.8
    int32_t currentVolume1; // 24.8
    float rampStep0;
    float rampStep1;
    int32_t rampFramesLeft;
};

// The playback state of one pattern channel, owned by the engine (player/). Pattern channel N
// always uses its player's channels[N].
struct ChannelState {
    uint8_t note; // 0-based
    uint8_t updateFlags;
    Voice* voice;
    int32_t period;
    int32_t volume;
    int32_t panning;
    int32_t volumeDelta;
    int32_t periodDelta;
    int32_t volEnvTick;
    int32_t volEnvPoint;
    int32_t volEnvValueFixed;
    int32_t volEnvValue;
    int32_t volEnvStep;
    uint8_t volEnvDone;
    int32_t panEnvTick;
    int32_t panEnvPoint;
    int32_t panEnvValueFixed;
    int32_t panEnvValue;
    int32_t panEnvStep;
    uint8_t panEnvDone;
    int32_t fadeoutVolume;
    int32_t autoVibratoPos;
    int32_t autoVibratoSweep;
    uint8_t keyOff;
    uint8_t instrument; // 0-based
    uint8_t realNote;
    int32_t notePeriod;
    int32_t sampleOffsetMemory;
    uint8_t portaDownMemory;
    uint8_t portaUpMemory;
    uint8_t extraFinePortaDownMemory;
    uint8_t extraFinePortaUpMemory;
    uint8_t volumeSlideMemory;
    uint8_t panningSlideMemory;
    uint8_t retrigVolumeMode;
    uint8_t retrigInterval;
    int32_t portaTarget;
    uint8_t portaSpeed;
    int8_t vibratoPos;
    uint8_t vibratoSpeed;
    uint8_t vibratoDepth;
    int8_t tremoloPos;
    uint8_t tremoloSpeed;
    uint8_t tremoloDepth;
    uint8_t tremorCounter;
    uint8_t tremorOnTicks;
    uint8_t tremorOffTicks;
    int32_t loopStartRow;
    uint32_t loopCounter;
    uint8_t waveControl;
    uint8_t fineVolumeSlideMemory;
    uint8_t finePortaUpMemory;
    uint8_t finePortaDownMemory;
    // E5y with a note: the finetune this channel's periods use instead of the sample's, until
    // the next note that is neither given an E5y of its own nor held back by tone portamento.
    uint8_t finetuneOverridden;
    int8_t finetuneOverride; // (y - 8) x 16
};

constexpr int channelStateCount = 32;
// Channel N drives slots N and N + 32 in turn; the mixer mixes the first mixedVoiceCount slots.
constexpr int voiceSlotCount = 256;
constexpr int mixedVoiceCount = 64;

// Room for ModulePlayer::damage with its terminator: the longest line, with every number at
// its largest, takes under 200 characters.
constexpr int damageTextBytes = 256;

struct ModulePlayer;
using TickFunction = void (*)(ModulePlayer* player);
// Supplies a sample's final (not delta-coded) bytes in place of the stream.
using SampleDataProvider = void (*)(void* buffer, int32_t byteCount, int32_t bitsPerSample,
                                    int32_t instrumentIndex, int32_t sampleIndex);
// What destroyPlayer runs before it frees anything, so that nothing is rendered from a freed
// record (see ModulePlayer::playbackStop).
using PlaybackStop = int32_t (*)(ModulePlayer* player);
// Told of each row about to be played (see ModulePlayer::rowObserver). loopJump is 1 when a
// pattern loop (E6x) jumped back to this row, 0 when the song arrived at it in any other way.
using RowObserver = void (*)(void* context, const ModulePlayer* player, int32_t loopJump);

struct ModulePlayer {
    Pattern* patterns;       // patternSlotCount records; owned
    Instrument* instruments; // instrumentCount records; owned
    int32_t samplesLeftInTick;
    int32_t samplesPerTick;
    int16_t songLength;
    int16_t restartPosition;
    int16_t channelCount;
    int32_t usedPatternCount;
    int32_t patternSlotCount;
    int16_t instrumentCount;
    uint16_t flags; // bit 0: linear frequency table
    // 1 when the header's tracker name begins with "MadTracker": that tracker's files count the
    // arpeggio by tick modulo 3, as the players people use play them, not by the ticks left.
    uint8_t madTracker;
    int16_t defaultTempo;
    int16_t defaultBpm;
    uint8_t orderTable[256];
    uint8_t initialGlobalVolume;
    // Playback state, owned by the sequencer.
    int32_t globalVolume;
    uint8_t globalVolumeSlideMemory; // shared by all channels; not reset at start
    int32_t tick;
    int32_t tempo;
    int32_t bpm;
    int32_t row;
    int32_t order;
    int32_t patternDelayTicks;
    int32_t nextRow;
    int32_t nextOrder;
    // The start row of the last pattern loop (E6x) that jumped, since the position last ran off
    // a pattern's end or was moved by Bxx or Dxy: the next pattern reached by running off the
    // end starts there, as the format's own tracker plays it. 0 at start.
    int32_t loopRestartRow;
    int32_t timeMs;
    TickFunction tickFunction;
    SampleDataProvider sampleDataProvider;
    // Optional and null by default, so that playback pays one test per row for it: called by
    // playerTick at each row tick once a pending jump or break has been applied and before the
    // row is processed, so order and row name the row about to play. For tools that watch the
    // song (where it ends); it must not change the player. Runs on the rendering thread.
    RowObserver rowObserver;
    void* rowObserverContext;
    // 1 when the next row tick plays a row that a pattern loop jumped back to; the sequencer's.
    uint8_t nextRowByLoopJump;
    // Per row: a position jump has been seen in an earlier channel of this row; the sequencer's.
    uint8_t positionJumpSeen;
    // Frames per second this player is rendered at, stored by the renderer's start before it
    // sets the start state. The tick length (setBpm) and every voice's step follow it. The
    // engine reads it here, in its own record, because the renderer that knows the rate lies in
    // the layer above it.
    int32_t outputRate;
    // The mixer's settings for this player (audio/mixer.h), set by the renderer's start: the
    // length of every volume ramp in frames and its reciprocal, and the frame loops in use
    // (0 until chosen; then 1 SSE2, 2 AVX2).
    int32_t rampFrames;
    float rampScale;
    uint8_t mixerLoops;
    // The AVX2 loops' step set-ups (audio/mixer_avx2.cpp), kept per player so that players mixed
    // on different threads share nothing: a zero-filled block that the mixer aligns for itself
    // and allocates where those loops are in use (setMixerLoops, prepareFloatCopies). While it
    // is null the mixer uses the SSE2 loops, to the same output. Owned.
    void* mixerLanes;
    // Channels mixed but not heard: bit N mutes pattern channel N, which drives voice slots N and
    // N + 32. Their voices play on exactly as they would (positions, ramps), mixed into
    // mutedMix instead of the output, so that unmuting brings them back where they would be.
    // mutedMix holds at least 2 x frames floats of any one mixVoices call; what it holds is never
    // heard. Mutes apply only while mutedMix is set. 0 and null by default; whoever mutes owns
    // the block.
    uint32_t mutedChannels;
    float* mutedMix;
    // Run by destroyPlayer before it frees anything; null when nothing renders the player on
    // another thread. Whoever starts such rendering sets it (the demo's audio thread: wait for
    // the chunk being rendered and end the thread) and clears it once that has stopped.
    PlaybackStop playbackStop;
    // The engine's state of every channel and voice, last so that the song fields above share
    // their cache lines.
    ChannelState channels[channelStateCount];
    Voice voices[voiceSlotCount];
    // What the header says for people and tools, which playback never reads: the title (bytes
    // 17..36) and the tracker name (38..57) as printable text, control bytes as '?' and the
    // trailing blanks and zeros that trackers pad with dropped (bytes from 0x80 up are kept as
    // the file has them); the channels and patterns the file declares, which may be more than
    // channelCount plays and fewer than patternSlotCount holds.
    char title[21];
    char tracker[21];
    int32_t fileChannelCount;
    int32_t filePatternCount;
    // "" for a whole song. A load that took a file cut short (loadTolerant in module/stream.h)
    // leaves here one line of printable ASCII naming the first pattern or sample whose data the
    // cut took and how many more lost theirs, e.g. "sample 3 of instrument 7: 1,204 of 9,000
    // frames; the rest is silence; 2 more samples have no data". Playback never reads it.
    char damage[damageTextBytes];
};

constexpr uint16_t flagLinearFrequencies = 1;

// Stand in for a sample map entry past an instrument's samples or a missing sample, and for an
// instrument number beyond instrumentCount. Never written.
extern const Sample emptySample;
extern const Instrument emptyInstrument;

} // namespace ostrel
