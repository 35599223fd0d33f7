// Live playback through the library on the host's looping-buffer sound device. A ring of two
// seconds of 16-bit stereo, one hundred chunks, is handed to the device, which loops it; this
// thread polls the device every 20 ms and refills each chunk the device has left with the song's
// next frames (silence once it has ended). There is no thread of our own, so the player is only
// ever used from this one. Each ring slot keeps where the song stood at its first frame: the
// status line and the keys go by what is being heard, not by what was rendered up to two seconds
// ahead. Every move (a seek, a pause) is done the same simple way: reset the device, move the
// player, fill the whole ring from there and hand it over again.
#include "tools/xmrender/live.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <ostrel/ostrel.h>

#include "platform/audio_device.h"
#include "platform/platform.h"
#include "tools/xmrender/convert.h"
#include "tools/xmrender/options.h"
#include "tools/xmrender/terminal.h"

namespace ostrel::xmrender {

namespace {

constexpr uint32_t pollMs = 20;
constexpr int32_t ringChunks = 100; // two seconds: ample margin over a poll
constexpr int32_t bytesPerFrame = 4;
// Chunks of silence heard after the end before the song is over: the device's own buffer runs
// ahead of the speaker by about this much (SDL's is 1024 frames).
constexpr int32_t tailChunks = 5;
constexpr int64_t stepSeconds = 5; // Left and Right

struct Slot {
    ostrel_position at;  // where the song stood at the slot's first frame
    int32_t soundFrames; // frames of song; the rest of the slot is silence after the end
};

struct Ring {
    const platform::AudioDevice* device;
    bool open;
    bool running; // the device is looping the ring
    int32_t rate;
    int32_t chunkFrames;
    uint32_t bytes;
    int16_t* samples;
    Slot slots[ringChunks];
    int32_t refill;     // the next slot to refill, once the device has left it
    uint32_t lastCount; // the device's byte count at the last poll
    uint32_t offset;    // where the device stands in the ring, in bytes
    int32_t endHeard;   // slots holding the end, or silence after it, heard through
};

struct Song {
    const char* path;
    ostrel_player* player;
    ostrel_info info;
    int64_t frames; // the length of all the passes (when they are counted)
    // The pass last shown while looping, and its start and end.
    int32_t shownPass;
    int64_t passStart;
    int64_t passEnd;
};

struct Live {
    const LiveOptions* options;
    Ring ring;
    Progress progress; // the status line, which messages end first
    int32_t index;     // the song playing
    int32_t count;
    char shown[256];
};

enum class Ending { heard, next, previous, stop };

void fillSlot(Ring* ring, ostrel_player* player, int32_t k) {
    Slot& slot = ring->slots[k];
    ostrel_get_position(player, &slot.at);
    const size_t chunkSamples = static_cast<size_t>(ring->chunkFrames) * 2;
    int16_t* out = ring->samples + static_cast<size_t>(k) * chunkSamples;
    const int32_t got = ostrel_render_s16(player, out, ring->chunkFrames);
    slot.soundFrames = got > 0 ? got : 0;
    std::memset(out + static_cast<size_t>(slot.soundFrames) * 2, 0,
                static_cast<size_t>(ring->chunkFrames - slot.soundFrames) * bytesPerFrame);
}

void fillRing(Ring* ring, ostrel_player* player) {
    for (int32_t k = 0; k < ringChunks; ++k)
        fillSlot(ring, player, k);
    ring->refill = 0;
    ring->endHeard = 0;
}

void startDevice(Ring* ring) {
    ring->device->prepare(ring->samples, ring->bytes);
    ring->lastCount = 0;
    ring->offset = 0;
    ring->device->write();
    ring->running = true;
}

void stopDevice(Ring* ring) {
    if (!ring->running)
        return;
    ring->device->reset(); // silent at once, and the ring is no longer read
    ring->device->unprepare();
    ring->running = false;
    ring->lastCount = 0;
    ring->offset = 0;
}

// Follows the device's place in the ring.
void track(Ring* ring) {
    uint32_t count = 0;
    if (!ring->running || ring->device->getPosition(&count) != 0)
        return;
    // The count wraps at 2^32, which is not a whole number of laps. Following it by the unsigned
    // difference between polls keeps the place in the ring continuous across that wrap instead
    // of jumping to another chunk.
    const uint32_t step = count - ring->lastCount;
    ring->lastCount = count;
    ring->offset =
        static_cast<uint32_t>((static_cast<uint64_t>(ring->offset) + step) % ring->bytes);
}

// Refills every slot the device has left since the last poll.
void refill(Ring* ring, ostrel_player* player) {
    const int32_t playing = static_cast<int32_t>(ring->offset / bytesPerFrame) / ring->chunkFrames;
    while (ring->refill != playing) {
        if (ring->slots[ring->refill].soundFrames < ring->chunkFrames)
            ++ring->endHeard;
        fillSlot(ring, player, ring->refill);
        ring->refill = ring->refill + 1 == ringChunks ? 0 : ring->refill + 1;
    }
}

// Where the song stands at the frame the device is playing; before the ring is handed over
// (paused), at its first frame.
ostrel_position heardPosition(const Ring& ring) {
    const auto inRing = static_cast<int32_t>(ring.offset / bytesPerFrame);
    const int32_t k = inRing / ring.chunkFrames;
    const Slot& slot = ring.slots[k];
    int32_t within = inRing - k * ring.chunkFrames;
    if (within > slot.soundFrames)
        within = slot.soundFrames; // silence after the end stays at the end
    ostrel_position at = slot.at;
    at.frame += within;
    at.seconds = static_cast<double>(at.frame) / ring.rate;
    return at;
}

// Opens the device and makes the ring. 0, or the exit code after the message.
int32_t openRing(Ring* ring, uint32_t rate, Progress* progress) {
    ring->device = &platform::systemAudioDevice;
    if (ring->device->open(rate) != 0) {
        // The system's own words for why, when it gave any.
        const char* reason = platform::systemAudioDeviceError();
        report(progress, "no sound device could be opened%s%s", reason[0] ? ": " : "", reason);
        return exitDevice;
    }
    ring->open = true;
    ring->rate = static_cast<int32_t>(rate);
    ring->chunkFrames = ostrel_chunk_frames(ring->rate);
    ring->bytes = static_cast<uint32_t>(ringChunks * ring->chunkFrames * bytesPerFrame);
    ring->samples = static_cast<int16_t*>(std::calloc(ring->bytes, 1));
    if (!ring->samples) {
        report(progress, "out of memory");
        return exitSong;
    }
    return 0;
}

void closeRing(Ring* ring) {
    if (!ring->open)
        return;
    stopDevice(ring);
    ring->device->close();
    ring->open = false;
    std::free(ring->samples);
    ring->samples = nullptr;
}

// Where `passes` passes end, from the song's start; 0 passes end at its start.
int64_t passesEnd(const Song& song, int32_t rate, int32_t passes) {
    ostrel_duration duration = {};
    if (passes <= 0 || ostrel_measure(song.player, rate, passes, &duration) != OSTREL_OK)
        return 0;
    return duration.frames;
}

// Loads, prepares, starts and measures song `index`. 0, or the exit code after the message.
int32_t openLiveSong(Song* song, const LiveOptions& options, int32_t index, Progress* progress) {
    *song = Song{};
    song->path = options.songCount ? options.songs[index] : nullptr;
    song->player = loadSong(song->path, progress);
    if (!song->player)
        return exitSong;
    ostrel_get_info(song->player, &song->info);
    song->shownPass = -1;
    const auto rate = static_cast<int32_t>(options.rate);
    char why[256];
    int32_t code = 0;
    SongLength length;
    ostrel_set_repeat(song->player, options.passes);
    ostrel_error error = OSTREL_OK;
    if (!chooseChannels(song->player, options.channels, why, sizeof why)) {
        report(progress, "%s: %s", songName(song->path), why);
        code = exitUsage;
    } else if ((error = ostrel_start(song->player, rate)) != OSTREL_OK) {
        report(progress, "%s: %s", songName(song->path), ostrel_error_text(error));
        code = exitSong;
    } else if (!seekToStart(song->player, rate, options.start, why, sizeof why)) {
        report(progress, "%s: %s", songName(song->path), why);
        code = exitUsage;
    } else {
        // Looping, each pass is measured when it comes; this also warns of a first pass cut.
        code = measure(song->player, song->path, options.rate,
                       options.passes > 0 ? options.passes : 1, 0, &length, progress);
        song->frames = length.frames;
    }
    if (code) {
        ostrel_free(song->player);
        song->player = nullptr;
    }
    return code;
}

// The status line, written again only when it changes. The time never passes the duration:
// the passes' when they are counted, the pass heard's while looping.
void showStatus(Live* live, Song* song, const ostrel_position& heard, bool paused) {
    const LiveOptions& options = *live->options;
    const int32_t rate = live->ring.rate;
    char line[sizeof live->shown];
    int length = 0;
    const auto add = [&](int written) {
        if (written > 0)
            length += written;
        if (length >= static_cast<int>(sizeof line))
            length = static_cast<int>(sizeof line) - 1;
    };
    if (live->count > 1)
        add(std::snprintf(line, sizeof line, "[%d/%d] ", live->index + 1, live->count));
    add(std::snprintf(line + length, sizeof line - length,
                      "order %3d/%-3d  pattern %3d  row %3d/%-3d  ", heard.order, song->info.orders,
                      heard.pattern, heard.row, ostrel_pattern_rows(song->player, heard.pattern)));
    int64_t time = heard.frame;
    int64_t duration = song->frames;
    if (options.passes == 0) {
        if (heard.pass != song->shownPass) {
            song->shownPass = heard.pass;
            song->passStart = passesEnd(*song, rate, heard.pass);
            song->passEnd = passesEnd(*song, rate, heard.pass + 1);
        }
        time -= song->passStart;
        duration = song->passEnd - song->passStart;
        add(std::snprintf(line + length, sizeof line - length, "pass %d  ", heard.pass + 1));
    } else if (options.passes > 1) {
        const int32_t pass = heard.pass < options.passes ? heard.pass + 1 : options.passes;
        add(std::snprintf(line + length, sizeof line - length, "pass %d/%d  ", pass,
                          options.passes));
    }
    time = time < 0 ? 0 : time > duration ? duration : time;
    if (paused)
        add(std::snprintf(line + length, sizeof line - length, "paused  "));
    char played[16];
    char total[16];
    formatTime(played, sizeof played, static_cast<double>(time) / rate);
    formatTime(total, sizeof total, static_cast<double>(duration) / rate);
    add(std::snprintf(line + length, sizeof line - length, "%s / %s ", played, total));
    if (std::strcmp(line, live->shown) == 0 && live->progress.lineOpen)
        return;
    std::memcpy(live->shown, line, sizeof line);
    // Blanks over the end of a longer line shown before.
    const int shownLength = length;
    while (length < live->progress.shownLength && length < static_cast<int>(sizeof line) - 1)
        line[length++] = ' ';
    line[length] = '\0';
    std::fprintf(stderr, "\r%s", line);
    std::fflush(stderr);
    live->progress.shownLength = shownLength;
    live->progress.lineOpen = true;
}

// Fills the whole ring from where the player stands and, unless paused, hands it to the device.
void playOnFromPlayer(Ring* ring, ostrel_player* player, bool paused) {
    fillRing(ring, player);
    if (!paused)
        startDevice(ring);
}

// Moves to frame (from the song's start) and plays on from there. False when the song ends
// before it: the move goes past the end.
bool moveToFrame(Live* live, Song* song, int64_t frame, bool paused) {
    stopDevice(&live->ring);
    ostrel_seek_seconds(song->player, static_cast<double>(frame) / live->ring.rate);
    ostrel_position at;
    ostrel_get_position(song->player, &at);
    if (at.frame < frame)
        return false;
    playOnFromPlayer(&live->ring, song->player, paused);
    return true;
}

// Moves the player to the start of order in the pass heard; where that pass does not play it,
// to the first time the song does. False when the song never plays it.
bool seekOrderStart(Song* song, int32_t rate, int32_t order, int32_t pass) {
    if (ostrel_seek_order(song->player, order, 0) != OSTREL_OK)
        return false;
    ostrel_position first;
    ostrel_get_position(song->player, &first);
    if (first.pass >= pass)
        return true;
    // The passes after the first play on from where the first turns back, so the order comes
    // again as far into the pass heard as it came after that point in its own pass. Checked on
    // arrival: a tempo set outside the repeated rows can make the passes differ.
    int64_t turn = passesEnd(*song, rate, first.pass);
    if (first.pass == 0) {
        ostrel_duration once;
        if (ostrel_measure(song->player, rate, 1, &once) != OSTREL_OK || once.repeat_order < 0 ||
            ostrel_seek_order(song->player, once.repeat_order, once.repeat_row) != OSTREL_OK)
            return ostrel_seek_order(song->player, order, 0) == OSTREL_OK;
        ostrel_position back;
        ostrel_get_position(song->player, &back);
        turn = back.frame;
    }
    if (first.frame >= turn) {
        const int64_t target = passesEnd(*song, rate, pass) + (first.frame - turn);
        ostrel_seek_seconds(song->player, static_cast<double>(target) / rate);
        ostrel_position again;
        ostrel_get_position(song->player, &again);
        if (again.frame == target && again.order == order && again.row == 0 && again.tick == 0)
            return true;
    }
    return ostrel_seek_order(song->player, order, 0) == OSTREL_OK;
}

// Up (direction -1): the start of the order before the one heard, or of the first order. Down
// (+1): the start of the next order the song plays. False when there is none: the song is over.
bool moveToOrder(Live* live, Song* song, const ostrel_position& heard, int32_t direction,
                 bool paused) {
    stopDevice(&live->ring);
    const int32_t rate = live->ring.rate;
    bool found = false;
    if (direction < 0) {
        for (int32_t order = heard.order > 0 ? heard.order - 1 : 0; order >= 0 && !found; --order)
            found = seekOrderStart(song, rate, order, heard.pass);
        if (!found)
            ostrel_seek_seconds(song->player, 0);
    } else {
        for (int32_t order = heard.order + 1; order < song->info.orders && !found; ++order)
            found = seekOrderStart(song, rate, order, heard.pass);
        if (!found)
            return false;
    }
    playOnFromPlayer(&live->ring, song->player, paused);
    return true;
}

// Plays the song from where it was started until it has been heard to its end or a key ends it.
Ending playSong(Live* live, Song* song) {
    Ring* ring = &live->ring;
    const int64_t step = stepSeconds * ring->rate;
    bool paused = false;
    playOnFromPlayer(ring, song->player, paused);
    live->progress.lineOpen = live->progress.lineOpen && live->options->status;
    for (;;) {
        track(ring);
        refill(ring, song->player);
        if (ring->endHeard > tailChunks)
            return Ending::heard;
        const Key key = nextKey();
        // Looked at again just before the device is reset, so that a pause resumes at the very
        // frame where the sound stopped.
        if (key != Key::none)
            track(ring);
        const ostrel_position heard = heardPosition(*ring);
        bool playsOn = true;
        switch (key) {
        case Key::none:
            break;
        case Key::stop:
            return Ending::stop;
        case Key::nextSong:
            return Ending::next;
        case Key::prevSong:
            return Ending::previous;
        case Key::pause:
            if (paused) {
                startDevice(ring);
                paused = false;
            } else {
                // The ring was rendered ahead of what is heard: the player goes back to the
                // heard frame, and the ring is filled from there, ready for the resume.
                paused = true;
                playsOn = moveToFrame(live, song, heard.frame, paused);
            }
            break;
        case Key::back5:
            playsOn = moveToFrame(live, song, heard.frame > step ? heard.frame - step : 0, paused);
            break;
        case Key::forward5:
            playsOn = moveToFrame(live, song, heard.frame + step, paused);
            break;
        case Key::prevOrder:
            playsOn = moveToOrder(live, song, heard, -1, paused);
            break;
        case Key::nextOrder:
            playsOn = moveToOrder(live, song, heard, 1, paused);
            break;
        }
        if (!playsOn)
            return Ending::heard;
        if (live->options->status)
            showStatus(live, song, heardPosition(*ring), paused);
        if (key == Key::none)
            platform::sleepMs(pollMs);
    }
}

} // namespace

int32_t playLive(const LiveOptions& options) {
    Live live = {};
    live.options = &options;
    live.progress.shown = options.status;
    live.count = options.songCount > 0 ? options.songCount : 1;
    bool* failed = static_cast<bool*>(std::calloc(static_cast<size_t>(live.count), 1));
    if (!failed) {
        report(nullptr, "out of memory");
        return exitSong;
    }
    beginKeys();
    int32_t code = 0;
    int32_t index = 0;
    int32_t direction = 1; // a song that cannot be played is passed in the direction of travel
    bool stopped = false;
    while (!stopped && index < live.count) {
        if (index < 0) {
            // p on the first song plays it again.
            index = 0;
            direction = 1;
        }
        if (failed[index]) {
            index += direction;
            continue;
        }
        Song song;
        if (const int32_t result = openLiveSong(&song, options, index, &live.progress)) {
            failed[index] = true;
            code = code ? code : result;
            index += direction;
            continue;
        }
        // The device waits for a song that plays, so that a run of bad songs says only that.
        if (!live.ring.open) {
            if (const int32_t result = openRing(&live.ring, options.rate, &live.progress)) {
                ostrel_free(song.player);
                code = result;
                break;
            }
        }
        live.index = index;
        const Ending ending = playSong(&live, &song);
        stopDevice(&live.ring);
        ostrel_free(song.player);
        stopped = ending == Ending::stop;
        direction = ending == Ending::previous ? -1 : 1;
        index += direction;
    }
    endKeys();
    if (live.progress.lineOpen)
        std::fputc('\n', stderr);
    closeRing(&live.ring);
    std::free(failed);
    return code;
}

} // namespace ostrel::xmrender
