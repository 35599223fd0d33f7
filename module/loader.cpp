// The XM loader: reads one module front to back through a ModuleStream into a zero-filled
// ModulePlayer. It is the only code that knows the file format.
//
// Everything the file says is treated as hostile: every read must deliver all it asked for,
// every size is checked against what the stream still holds before it is allocated, and every
// value the playback engine indexes with is brought into range here, so the engine and the
// mixer can index without tests. Values are clamped where a tracker would still play the file
// and rejected where no tracker could have written them.
//
// A tolerant load (loadTolerant) also takes a file whose end was cut off inside pattern or sample
// data. The cut is where the stream ends, so at most one pattern or sample is cut part-way; all
// that lay after it is gone whole. Headers must still be there in full: without one, the sizes
// and counts after it are unknown.
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "module/internal.h"
#include "module/module.h"
#include "module/stream.h"

namespace ostrel {

namespace {

const char* const errorNotXm = "not an XM module";
const char* const errorTruncated = "file is truncated";
const char* const errorMemory = "out of memory";
const char* const errorHeaderSize = "header size out of range";
const char* const errorChannels = "bad channel count";
const char* const errorInstrumentCount = "bad instrument count";
const char* const errorTooManySamples = "instrument has more than 256 samples";
const char* const errorTooLarge = "module is too large";

const char xmId[17] = {'E', 'x', 't', 'e', 'n', 'd', 'e', 'd', ' ',
                       'M', 'o', 'd', 'u', 'l', 'e', ':', ' '};

const char madTrackerName[10] = {'M', 'a', 'd', 'T', 'r', 'a', 'c', 'k', 'e', 'r'};

constexpr int32_t patternHeaderBytes = 9;
// Files of these versions (the word at offset 58) are laid out the early way: every instrument
// and sample header, then the patterns with 8-byte headers, then all sample data.
constexpr uint16_t earlyVersions[] = {0x0102, 0x0103};
constexpr int32_t earlyPatternHeaderBytes = 8;
constexpr int32_t sampleHeaderBytes = 40;
// An 8-bit sample whose header's reserved byte holds this mark is stored ADPCM-packed (see
// readAdpcmFrames). While loading, bitsPerSample says so with adpcmBits: 4 bits per frame.
constexpr uint8_t adpcmMark = 0xAD;
constexpr uint8_t adpcmBits = 4;
constexpr int32_t adpcmTableBytes = 16;
constexpr int32_t maxChannels = 32; // the engine keeps channel state for 32 channels
constexpr int32_t addedPatternRows = 64;
// The most pattern cells a module may hold: 256 patterns of 1024 rows over 32 channels, more
// than any tracker saves. Patterns with no packed data cost the file 8 or 9 bytes however many
// rows they claim, so without this bound a small file could ask for terabytes.
constexpr int64_t maxModuleCells = 256 * 1024 * 32;
// A tolerant load allocates the sample data a cut took as well as what the file holds. It takes
// up to this many times the file's size missing (a file cut to a fifth of itself); more is more
// likely a garbage length than a cut, and would let a small file claim gigabytes.
constexpr int64_t maxMissingFactor = 4;

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
// A text field of `size` bytes as printable text in out (size + 1 bytes): control bytes become
// '?', and trailing blanks and zeros go (trackers pad with either).
void copyText(char* out, const uint8_t* field, int32_t size) {
    int32_t length = 0;
    for (int32_t i = 0; i < size; ++i) {
        const uint8_t c = field[i];
        out[i] = c >= 0x20 && c != 0x7F ? static_cast<char>(c) : c == 0 ? ' ' : '?';
        if (c != 0 && c != ' ') {
            length = i + 1;
        }
    }
    out[length] = '\0';
}

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

struct Loader {
    ModulePlayer* player;
    ModuleStream* stream;
    int64_t streamSize;
    int32_t fileChannels; // cells per row in the packed data, possibly above 32
    int64_t cellsAllocated;
    bool earlyLayout;
    // Sample data announced by the sample headers read so far and not yet read: the stream must
    // still hold it, after whatever comes first (the patterns, in the early layout).
    int64_t pendingDataBytes;
    ZeroAllocator allocate; // the stream's
    const char* error;      // why the load failed; "" while it has not
    LoadMode mode;
    // Set once the stream has ended inside pattern or sample data (tolerant loads only): that
    // first loss is in the player's damage line, and the parts after it that the cut took whole
    // are counted for the line's end.
    bool cut;
    int64_t samplesLost;
    int64_t patternsLost;
    int64_t instrumentsLost;
};

int32_t fail(Loader& loader, const char* reason) {
    loader.error = reason;
    return 0;
}

bool readExact(Loader& loader, void* destination, int32_t count) {
    return streamRead(destination, count, loader.stream) == count;
}

bool readByte(Loader& loader, uint8_t* value) {
    return readExact(loader, value, 1);
}

// Reads up to count bytes; how many arrived, 0..count.
int32_t readSome(Loader& loader, void* destination, int32_t count) {
    const int32_t got = streamRead(destination, count, loader.stream);
    return got < 0 ? 0 : got > count ? count : got;
}

int64_t bytesLeft(Loader& loader) {
    int64_t left = loader.streamSize - streamTell(loader.stream);
    return left < 0 ? 0 : left;
}

// Whether the stream holds `headers` bytes of headers and, after them, the sample data announced
// so far. A tolerant load needs only the headers there; the data may be cut short within
// maxMissingFactor, and must stay within 32-bit sizes as a whole file's does.
bool fits(Loader& loader, int64_t headers) {
    const int64_t left = bytesLeft(loader);
    const int64_t needed = headers + loader.pendingDataBytes;
    if (loader.mode == loadStrict) {
        return needed <= left;
    }
    const int64_t room = left + maxMissingFactor * loader.streamSize;
    return headers <= left && needed <= (room < INT32_MAX ? room : INT32_MAX);
}

// The damage line, written into the player's fixed buffer; what would not fit is dropped.
void putWords(ModulePlayer* player, const char* words) {
    std::size_t length = std::strlen(player->damage);
    while (*words && length + 1 < sizeof player->damage) {
        player->damage[length++] = *words++;
    }
    player->damage[length] = '\0';
}

// A number as people read it, the thousands set off with commas: 9,000.
void putNumber(ModulePlayer* player, uint64_t value) {
    char reversed[32];
    int32_t n = 0;
    do {
        if (n % 4 == 3) {
            reversed[n++] = ',';
        }
        reversed[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    char digits[32];
    for (int32_t k = 0; k < n; ++k) {
        digits[k] = reversed[n - 1 - k];
    }
    digits[n] = '\0';
    putWords(player, digits);
}

// The stream ended inside the packed data of pattern `pattern`, `present` bytes into it, in the
// cell of `row` and file channel `channel`. Patterns and rows are numbered from 0 and channels
// from 1, as trackers show them.
void patternCut(Loader& loader, int32_t pattern, int64_t present, uint16_t declared, int32_t row,
                int32_t channel) {
    ModulePlayer* player = loader.player;
    loader.cut = true;
    putWords(player, "pattern ");
    putNumber(player, static_cast<uint64_t>(pattern));
    // The declared size does not bound the decoding, so it may undercount what was read.
    putWords(player, present < declared ? ": " : ": cut after ");
    putNumber(player, static_cast<uint64_t>(present));
    if (present < declared) {
        putWords(player, " of ");
        putNumber(player, declared);
    }
    putWords(player, " bytes of data; empty from ");
    if (channel > 0) {
        putWords(player, "channel ");
        putNumber(player, static_cast<uint64_t>(channel) + 1);
        putWords(player, " of ");
    }
    putWords(player, "row ");
    putNumber(player, static_cast<uint64_t>(row));
    putWords(player, " on");
}

// Sample `sample` of instrument `instrument` (both from 0) kept `frames` of its `length`; the
// first such loss is described, numbered from 1 as trackers show them, and the later ones, which
// the cut took whole, counted.
void sampleCut(Loader& loader, int32_t instrument, int32_t sample, uint32_t frames,
               uint32_t length) {
    ModulePlayer* player = loader.player;
    if (loader.cut) {
        ++loader.samplesLost;
        return;
    }
    loader.cut = true;
    putWords(player, "sample ");
    putNumber(player, static_cast<uint64_t>(sample) + 1);
    putWords(player, " of instrument ");
    putNumber(player, static_cast<uint64_t>(instrument) + 1);
    putWords(player, ": ");
    putNumber(player, frames);
    putWords(player, " of ");
    putNumber(player, length);
    putWords(player, " frames; the rest is silence");
}

// Ends the damage line with what else the cut took, e.g. "; 2 more samples and 1 instrument have
// no data".
void finishDamage(Loader& loader) {
    struct Lost {
        int64_t count;
        const char* one;
        const char* many;
    };
    const Lost lost[] = {{loader.samplesLost, " more sample", " more samples"},
                         {loader.patternsLost, " more pattern", " more patterns"},
                         {loader.instrumentsLost, " instrument", " instruments"}};
    int32_t kinds = 0;
    for (const Lost& kind : lost) {
        kinds += kind.count > 0 ? 1 : 0;
    }
    int32_t listed = 0;
    int64_t last = 0;
    for (const Lost& kind : lost) {
        if (kind.count == 0) {
            continue;
        }
        ++listed;
        putWords(loader.player, listed == 1 ? "; " : listed == kinds ? " and " : ", ");
        putNumber(loader.player, static_cast<uint64_t>(kind.count));
        putWords(loader.player, kind.count == 1 ? kind.one : kind.many);
        last = kind.count;
    }
    if (kinds > 0) {
        putWords(loader.player, kinds == 1 && last == 1 ? " has no data" : " have no data");
    }
}

// A seek target start + size, or -1 when it leaves the stream's 32-bit range.
int64_t seekTargetAfter(int64_t start, uint32_t size) {
    int64_t target = start + static_cast<int64_t>(size);
    return target > INT32_MAX || target < 0 ? -1 : target;
}

int32_t allocateCells(Loader& loader, Pattern& pattern) {
    int64_t cells = static_cast<int64_t>(pattern.rowCount) * loader.player->channelCount;
    if (loader.cellsAllocated + cells > maxModuleCells) {
        return fail(loader, errorTooLarge);
    }
    loader.cellsAllocated += cells;
    pattern.cells = static_cast<PatternCell*>(
        allocateZeroed(loader.allocate, static_cast<std::size_t>(cells), sizeof(PatternCell)));
    return pattern.cells ? 1 : fail(loader, errorMemory);
}

// One packed cell, every byte with a stream call of its own. Notes 98..254 mean nothing in
// the format; they become "no note" so the period tables are never indexed past B-7.
bool decodeCell(Loader& loader, PatternCell* cell) {
    uint8_t first = 0;
    if (!readByte(loader, &first)) {
        return false;
    }
    uint8_t fields[5] = {};
    if (first & 0x80) {
        for (int bit = 0; bit < 5; ++bit) {
            if ((first & (1 << bit)) && !readByte(loader, &fields[bit])) {
                return false;
            }
        }
    } else {
        fields[0] = first;
        for (int k = 1; k < 5; ++k) {
            if (!readByte(loader, &fields[k])) {
                return false;
            }
        }
    }
    uint8_t note = fields[0];
    if (note == 97) {
        note = noteKeyOff;
    } else if (note > 97 && note != noteKeyOff) {
        note = 0;
    }
    cell->note = note;
    cell->instrument = fields[1] > 128 ? 0 : fields[1];
    cell->volume = fields[2];
    cell->effect = fields[3];
    cell->effectParam = fields[4];
    return true;
}

// The packed cells of one pattern, each cell decoded whole or not at all. true when the stream
// held them all; false when it ended inside one, with *row and *channel naming that cell.
bool decodeCells(Loader& loader, Pattern& pattern, int32_t fileRows, int32_t* row,
                 int32_t* channel) {
    const int32_t channels = loader.player->channelCount;
    // The packed size does not bound the decoding; the cell count does. Channels past 32 are
    // decoded to keep the stream in step and then dropped.
    for (int32_t r = 0; r < fileRows; ++r) {
        for (int32_t c = 0; c < loader.fileChannels; ++c) {
            PatternCell dropped;
            PatternCell* cell = c < channels ? &pattern.cells[r * channels + c] : &dropped;
            if (!decodeCell(loader, cell)) {
                *row = r;
                *channel = c;
                return false;
            }
        }
    }
    return true;
}

int32_t loadPatterns(Loader& loader, uint16_t filePatternCount) {
    ModulePlayer* player = loader.player;
    const int32_t headerBytes = loader.earlyLayout ? earlyPatternHeaderBytes : patternHeaderBytes;
    // A tolerant load cannot know in advance where the headers stop: the cut is found as it
    // comes.
    const bool strict = loader.mode == loadStrict;
    if (strict && static_cast<int64_t>(filePatternCount) * headerBytes + loader.pendingDataBytes >
                      bytesLeft(loader)) {
        return fail(loader, errorTruncated);
    }
    player->patterns = static_cast<Pattern*>(allocateZeroed(
        loader.allocate, static_cast<std::size_t>(player->patternSlotCount), sizeof(Pattern)));
    if (!player->patterns) {
        return fail(loader, errorMemory);
    }
    for (int32_t p = 0; p < filePatternCount; ++p) {
        Pattern& pattern = player->patterns[p];
        if (loader.cut) {
            // The cut took this pattern whole: it plays as the empty 64 rows of a missing one.
            ++loader.patternsLost;
            pattern.rowCount = addedPatternRows;
            if (!allocateCells(loader, pattern)) {
                return 0;
            }
            continue;
        }
        int32_t start = streamTell(loader.stream);
        uint8_t header[patternHeaderBytes];
        if (!readExact(loader, header, headerBytes)) {
            return fail(loader, errorTruncated);
        }
        // A header longer than the usual 9 bytes is skipped to its end when the stream holds
        // it. Files with a zero or garbage length exist and play with the header as just its
        // fields, so any other length is read as that. An early header, 8 bytes of fields, may
        // well say 9, the usual size: it is read as 8 too.
        uint32_t headerLength = le32(header);
        const bool headerPastEnd = headerLength > loader.streamSize - start;
        if (headerLength > patternHeaderBytes && !headerPastEnd) {
            streamSeek(loader.stream, static_cast<int32_t>(start + int64_t{headerLength}), 0);
        }
        // The early layout keeps the row count less one in a byte: 1..256 rows.
        int32_t fileRows = loader.earlyLayout ? header[5] + 1 : le16(header + 5);
        uint16_t packedSize = le16(header + headerBytes - 2);
        // A pattern of 0 rows would leave the sequencer no row to stand on; it plays as the
        // empty 64-row pattern that stands in for a missing one.
        pattern.rowCount = fileRows ? fileRows : addedPatternRows;
        int64_t fileCells = static_cast<int64_t>(fileRows) * loader.fileChannels;
        // Every packed cell takes at least one byte: rows the stream cannot hold are refused
        // before they are allocated. A tolerant load keeps them, empty, within maxModuleCells.
        if (strict && packedSize != 0 && fileCells + loader.pendingDataBytes > bytesLeft(loader)) {
            return fail(loader, errorTruncated);
        }
        if (!allocateCells(loader, pattern)) {
            return 0;
        }
        if (packedSize == 0) {
            continue;
        }
        const int32_t dataStart = streamTell(loader.stream);
        int32_t row = 0;
        int32_t channel = 0;
        if (!decodeCells(loader, pattern, fileRows, &row, &channel)) {
            // A header length reaching past the end puts the cut inside the header: the bytes
            // read as cells were the rest of it.
            if (strict || (headerLength > patternHeaderBytes && headerPastEnd)) {
                return fail(loader, errorTruncated);
            }
            patternCut(loader, p, loader.streamSize - dataStart, packedSize, row, channel);
        }
    }
    // Song positions naming a pattern the file lacks play 64 empty rows.
    for (int32_t p = filePatternCount; p < player->usedPatternCount; ++p) {
        player->patterns[p].rowCount = addedPatternRows;
        if (!allocateCells(loader, player->patterns[p])) {
            return 0;
        }
    }
    return 1;
}

// The readers index envelope points with these counts and indices: at most the 12 points the
// file can give, indices inside the points in use.
//
// The envelope ends before the first point whose x is smaller than the one before: the engine
// walks ticks upwards, never meets such a point, and would slide the value by the last slope
// every tick until it overflows. Equal x values stay; the engine stalls there and songs use it.
void sanitiseEnvelope(const EnvelopePoint* points, uint8_t* pointCount, uint8_t* flags,
                      uint8_t* sustain, uint8_t* loopStart, uint8_t* loopEnd) {
    if (*pointCount > envelopeFilePoints) {
        *pointCount = envelopeFilePoints;
    }
    for (uint8_t k = 1; k < *pointCount; ++k) {
        if (points[k].x < points[k - 1].x) {
            *pointCount = k;
            break;
        }
    }
    if (*pointCount < 2) {
        *flags = 0;
    }
    uint8_t last = *pointCount ? static_cast<uint8_t>(*pointCount - 1) : 0;
    for (uint8_t* index : {sustain, loopStart, loopEnd}) {
        if (*index > last) {
            *index = last;
        }
    }
}

// Envelope values run 0..64; the engine scales them to 16.16 fixed point, where a larger
// 16-bit value from a damaged file would overflow.
constexpr uint16_t maxEnvelopeValue = 64;

void readEnvelope(const uint8_t* bytes, EnvelopePoint* points) {
    for (int k = 0; k < envelopeFilePoints; ++k) {
        uint16_t y = le16(bytes + 4 * k + 2);
        points[k].x = le16(bytes + 4 * k);
        points[k].y = y > maxEnvelopeValue ? maxEnvelopeValue : y;
    }
}

// The instrument header past the sample count: map, envelopes, vibrato and fade-out.
int32_t readInstrumentBody(Loader& loader, Instrument& instrument) {
    uint8_t sampleHeaderSize[4];
    uint8_t volumePoints[48];
    uint8_t panningPoints[48];
    uint8_t tail[16];
    if (!readExact(loader, sampleHeaderSize, 4) || !readExact(loader, instrument.sampleMap, 96) ||
        !readExact(loader, volumePoints, 48) || !readExact(loader, panningPoints, 48) ||
        !readExact(loader, tail, 16)) {
        return fail(loader, errorTruncated);
    }
    readEnvelope(volumePoints, instrument.volumeEnvelope);
    readEnvelope(panningPoints, instrument.panningEnvelope);
    instrument.volumeEnvelopePointCount = tail[0];
    instrument.panningEnvelopePointCount = tail[1];
    instrument.volumeSustainPoint = tail[2];
    instrument.volumeLoopStartPoint = tail[3];
    instrument.volumeLoopEndPoint = tail[4];
    instrument.panningSustainPoint = tail[5];
    instrument.panningLoopStartPoint = tail[6];
    instrument.panningLoopEndPoint = tail[7];
    instrument.volumeEnvelopeFlags = tail[8];
    instrument.panningEnvelopeFlags = tail[9];
    instrument.vibratoType = tail[10];
    instrument.vibratoSweep = tail[11];
    instrument.vibratoDepth = tail[12];
    instrument.vibratoRate = tail[13];
    instrument.fadeout = static_cast<uint16_t>(le16(tail + 14) * 2);
    sanitiseEnvelope(instrument.volumeEnvelope, &instrument.volumeEnvelopePointCount,
                     &instrument.volumeEnvelopeFlags, &instrument.volumeSustainPoint,
                     &instrument.volumeLoopStartPoint, &instrument.volumeLoopEndPoint);
    sanitiseEnvelope(instrument.panningEnvelope, &instrument.panningEnvelopePointCount,
                     &instrument.panningEnvelopeFlags, &instrument.panningSustainPoint,
                     &instrument.panningLoopStartPoint, &instrument.panningLoopEndPoint);
    return 1;
}

// The bytes the file stores for a sample's frames.
int64_t storedBytes(const Sample* sample) {
    if (sample->bitsPerSample == adpcmBits) {
        return adpcmTableBytes + (static_cast<int64_t>(sample->length) + 1) / 2;
    }
    return static_cast<int64_t>(sample->length) * sample->bitsPerSample / 8;
}

// One 40-byte sample header into a fresh Sample, with its data block allocated.
int32_t readSampleHeader(Loader& loader, Sample* sample) {
    uint8_t head[14];
    uint8_t type = 0;
    uint8_t panningNoteReserved[3];
    if (!readExact(loader, head, 14) || !readByte(loader, &type) ||
        !readExact(loader, panningNoteReserved, 3)) {
        return fail(loader, errorTruncated);
    }
    sample->length = le32(head);
    sample->loopStart = le32(head + 4);
    sample->loopLength = le32(head + 8);
    sample->volume = head[12];
    sample->finetune = static_cast<int8_t>(head[13]);
    sample->loopType = loopNone;
    sample->bitsPerSample = 8;
    if (type & 1) {
        sample->loopType = loopForward;
    }
    if (type & 2) {
        sample->loopType = loopPingPong;
    }
    if (type & 0x10) {
        sample->bitsPerSample = 16;
    } else if (panningNoteReserved[2] == adpcmMark) {
        // Only 8-bit frames are ever packed; on a 16-bit sample the mark means nothing.
        sample->bitsPerSample = adpcmBits;
    }
    if (sample->loopType == loopNone) {
        sample->loopStart = 0;
        sample->loopLength = sample->length;
    }
    if (sample->bitsPerSample == 16) {
        sample->length >>= 1;
        sample->loopStart >>= 1;
        sample->loopLength >>= 1;
    }
    if (sample->loopLength == 0) {
        sample->loopStart = 0;
        sample->loopType = loopNone;
        sample->loopLength = sample->length;
    }
    // The loop end is where play ends and where the guard frame goes: keep it inside the
    // sample. A loop starting past the end leaves nothing to loop and plays as a one-shot.
    uint64_t loopEnd = static_cast<uint64_t>(sample->loopStart) + sample->loopLength;
    if (sample->loopStart >= sample->length) {
        sample->loopType = loopNone;
        sample->loopStart = 0;
        sample->loopLength = sample->length;
    } else if (loopEnd > sample->length) {
        sample->loopLength = sample->length - sample->loopStart;
    }
    sample->panning = panningNoteReserved[0];
    sample->relativeNote = static_cast<int8_t>(panningNoteReserved[1]);
    // The instrument's sample headers all lie inside the stream (readInstrumentHeaders checks
    // it), so the name is there; a short read would only leave its end blank.
    uint8_t name[sampleHeaderBytes - 18] = {};
    streamRead(name, sizeof name, loader.stream);
    copyText(sample->name, name, sizeof name);

    if (sample->length == 0) {
        return 1;
    }
    // A packed frame takes half a byte of the file, so the stream's size alone no longer keeps
    // the frame count (the provider's byte count for such a sample) inside 32 signed bits.
    if (sample->bitsPerSample == adpcmBits && sample->length > INT32_MAX) {
        return fail(loader, errorTooLarge);
    }
    loader.pendingDataBytes += storedBytes(sample);
    if (!fits(loader, 0)) {
        return fail(loader, errorTruncated);
    }
    // length frames, the guard frame's room and spare frames for the mixer's look-ahead.
    sample->data = static_cast<int16_t*>(allocateZeroed(
        loader.allocate, static_cast<std::size_t>(sample->length) + sampleSpareFrames,
        sizeof(int16_t)));
    return sample->data ? 1 : fail(loader, errorMemory);
}

// Brings the stored bytes of the first `length` frames at the start of the data block into
// absolute 16-bit frames, in place.
void convertSampleData(Sample* sample, uint32_t length, bool deltaCoded) {
    auto* bytes = reinterpret_cast<uint8_t*>(sample->data);
    if (sample->bitsPerSample == 8) {
        // Backwards, so each byte is read before the frame that overlaps it is written.
        for (uint32_t k = length; k-- > 0;) {
            int32_t value = static_cast<int8_t>(bytes[k]) * 256;
            sample->data[k] = static_cast<int16_t>(value);
        }
        sample->bitsPerSample = 16;
    } else {
        for (uint32_t k = 0; k < length; ++k) {
            sample->data[k] = static_cast<int16_t>(le16(bytes + 2 * k));
        }
    }
    if (deltaCoded) {
        // Summing widened 8-bit deltas gives the same frames as summing bytes and widening.
        uint32_t sum = 0;
        for (uint32_t k = 0; k < length; ++k) {
            sum += static_cast<uint16_t>(sample->data[k]);
            sample->data[k] = static_cast<int16_t>(sum & 0xFFFF);
        }
    }
}

// ADPCM-packed 8-bit frames: a table of 16 signed deltas, then one 4-bit table index per frame,
// low nibble first. Each index adds its delta to a running 8-bit value that starts at 0; that
// value is the frame, widened like any 8-bit frame, with no delta decoding on top.
//
// The packed bytes are read into the end of the data block and decoded from its start: the
// block holds 2 * length + 48 bytes and the packed form 16 + (length + 1) / 2, so the two bytes
// of frame k always lie before the index byte of any later frame.
//
// *frames is set to the frames the file held: all of them, or in a tolerant load those whose
// index arrived, none without the whole table.
bool readAdpcmFrames(Loader& loader, Sample* sample, uint32_t* frames) {
    const uint32_t length = sample->length;
    const auto packedBytes = static_cast<int32_t>(storedBytes(sample));
    auto* block = reinterpret_cast<uint8_t*>(sample->data);
    uint8_t* packed = block +
                      (static_cast<std::size_t>(length) + sampleSpareFrames) * sizeof(int16_t) -
                      packedBytes;
    const int32_t got = readSome(loader, packed, packedBytes);
    uint32_t present = length;
    if (got != packedBytes) {
        if (loader.mode == loadStrict) {
            return false;
        }
        const int64_t indexed = got < adpcmTableBytes ? 0 : 2 * int64_t{got - adpcmTableBytes};
        present = indexed < length ? static_cast<uint32_t>(indexed) : length;
    }
    int8_t table[adpcmTableBytes];
    std::memcpy(table, packed, sizeof table);
    const uint8_t* indices = packed + adpcmTableBytes;
    uint8_t value = 0;
    for (uint32_t k = 0; k < present; ++k) {
        uint8_t pair = indices[k / 2];
        uint8_t index = k % 2 ? pair >> 4 : pair & 15;
        value = static_cast<uint8_t>(value + table[index]);
        sample->data[k] = static_cast<int16_t>(static_cast<int8_t>(value) * 256);
    }
    // Packed bytes are left behind the frames decoded, which must read as silence.
    std::memset(sample->data + present, 0,
                (static_cast<std::size_t>(length - present) + sampleSpareFrames) * sizeof(int16_t));
    sample->bitsPerSample = 16;
    *frames = present;
    return true;
}

// The mixer interpolates towards the frame after the one it plays.
void writeGuardFrame(Sample* sample) {
    uint32_t loopEnd = sample->loopStart + sample->loopLength;
    if (sample->loopType == loopPingPong) {
        sample->data[loopEnd] = sample->data[loopEnd - 1];
    } else if (sample->loopType == loopForward) {
        sample->data[loopEnd] = sample->data[sample->loopStart];
    }
}

int32_t readSampleData(Loader& loader, Sample* sample, int32_t instrumentIndex,
                       int32_t sampleIndex) {
    const auto stored = static_cast<int32_t>(storedBytes(sample));
    loader.pendingDataBytes -= stored;
    ModulePlayer* player = loader.player;
    // The frames the file holds. The sample keeps its length whatever a cut took, and the frames
    // lost are silence: its loop points and the offsets notes start it at (9xx) stay as the file
    // meant them, and a cut sample plays out its length as the song expects.
    uint32_t frames = sample->length;
    if (player->sampleDataProvider) {
        // The provider supplies final frames, so a packed sample is an 8-bit one to it (one
        // byte per frame); the stream still moves over the packed bytes.
        if (sample->bitsPerSample == adpcmBits) {
            sample->bitsPerSample = 8;
        }
        const auto finalBytes = static_cast<int32_t>(storedBytes(sample));
        player->sampleDataProvider(sample->data, finalBytes, sample->bitsPerSample, instrumentIndex,
                                   sampleIndex);
        streamSeek(loader.stream, stored, 1);
        convertSampleData(sample, frames, false);
    } else if (sample->bitsPerSample == adpcmBits) {
        if (!readAdpcmFrames(loader, sample, &frames)) {
            return fail(loader, errorTruncated);
        }
    } else {
        const int32_t got = readSome(loader, sample->data, stored);
        if (got != stored) {
            if (loader.mode == loadStrict) {
                return fail(loader, errorTruncated);
            }
            // Only whole frames count: the byte of a cut 16-bit frame goes with the rest.
            const int32_t frameBytes = sample->bitsPerSample / 8;
            const int32_t kept = got / frameBytes * frameBytes;
            frames = static_cast<uint32_t>(got / frameBytes);
            std::memset(reinterpret_cast<uint8_t*>(sample->data) + kept, 0,
                        static_cast<std::size_t>(stored - kept));
        }
        convertSampleData(sample, frames, true);
    }
    if (frames < sample->length) {
        sampleCut(loader, instrumentIndex, sampleIndex, frames, sample->length);
    }
    writeGuardFrame(sample);
    return 1;
}

// One instrument's header and sample headers, with its samples and their data blocks allocated.
// Sets cutOff when the stream ends before the sample count: trackers save songs whose last
// instruments are cut off, and those load as empty.
int32_t readInstrumentHeaders(Loader& loader, Instrument& instrument, bool* cutOff) {
    int32_t start = streamTell(loader.stream);
    uint8_t headerSize[4];
    uint8_t nameAndType[23];
    uint8_t sampleCount[2];
    const bool countRead = readExact(loader, headerSize, 4) &&
                           readExact(loader, nameAndType, sizeof nameAndType) &&
                           readExact(loader, sampleCount, 2);
    if (!countRead) {
        *cutOff = true;
        return 1;
    }
    copyText(instrument.name, nameAndType, 22);
    uint16_t count = le16(sampleCount);
    if (count > maxSamplesPerInstrument) {
        return fail(loader, errorTooManySamples);
    }
    int64_t headerEnd = seekTargetAfter(start, le32(headerSize));
    if (headerEnd < 0) {
        return fail(loader, errorHeaderSize);
    }
    if (count == 0) {
        streamSeek(loader.stream, static_cast<int32_t>(headerEnd), 0);
        return 1;
    }
    if (!readInstrumentBody(loader, instrument)) {
        return 0;
    }
    streamSeek(loader.stream, static_cast<int32_t>(headerEnd), 0);
    if (!fits(loader, static_cast<int64_t>(count) * sampleHeaderBytes)) {
        return fail(loader, errorTruncated);
    }
    instrument.samples =
        static_cast<Sample**>(allocateZeroed(loader.allocate, count, sizeof(Sample*)));
    if (!instrument.samples) {
        return fail(loader, errorMemory);
    }
    instrument.sampleCount = count;
    for (int32_t j = 0; j < count; ++j) {
        auto* sample = static_cast<Sample*>(allocateZeroed(loader.allocate, 1, sizeof(Sample)));
        if (!sample) {
            return fail(loader, errorMemory);
        }
        instrument.samples[j] = sample;
        if (!readSampleHeader(loader, sample)) {
            return 0;
        }
    }
    return 1;
}

int32_t readInstrumentData(Loader& loader, Instrument& instrument, int32_t index) {
    for (int32_t j = 0; j < instrument.sampleCount; ++j) {
        if (instrument.samples[j]->length != 0 &&
            !readSampleData(loader, instrument.samples[j], index, j)) {
            return 0;
        }
    }
    return 1;
}

// Every instrument's headers, each followed by its sample data unless the layout is the early
// one, where all sample data comes after the patterns.
int32_t loadInstruments(Loader& loader) {
    ModulePlayer* player = loader.player;
    player->instruments = static_cast<Instrument*>(allocateZeroed(
        loader.allocate, static_cast<std::size_t>(player->instrumentCount), sizeof(Instrument)));
    if (!player->instruments && player->instrumentCount > 0) {
        return fail(loader, errorMemory);
    }
    for (int32_t i = 0; i < player->instrumentCount; ++i) {
        bool cutOff = false;
        if (!readInstrumentHeaders(loader, player->instruments[i], &cutOff)) {
            return 0;
        }
        if (cutOff) {
            // After a cut in the data before them, these instruments are known to be lost.
            if (loader.cut) {
                loader.instrumentsLost = player->instrumentCount - i;
            }
            return 1;
        }
        if (!loader.earlyLayout && !readInstrumentData(loader, player->instruments[i], i)) {
            return 0;
        }
    }
    return 1;
}

int32_t loadEarlySampleData(Loader& loader) {
    ModulePlayer* player = loader.player;
    for (int32_t i = 0; i < player->instrumentCount; ++i) {
        if (!readInstrumentData(loader, player->instruments[i], i)) {
            return 0;
        }
    }
    return 1;
}

// Reads the module; the reason of a failure is left in loader.error.
int32_t readModule(Loader& loader) {
    ModulePlayer* player = loader.player;
    ModuleStream* stream = loader.stream;
    char id[sizeof xmId];
    streamSeek(stream, 0, 0);
    if (!readExact(loader, id, sizeof id) || std::memcmp(id, xmId, sizeof id) != 0) {
        return fail(loader, errorNotXm);
    }
    player->initialGlobalVolume = 64;

    // The stream's length bounds every size the file claims.
    streamSeek(stream, 0, 2);
    loader.streamSize = streamTell(stream);

    // The title (17), the 0x1A mark (37) and the tracker name (38..57). MadTracker's files
    // count the arpeggio their own way; the name is all that tells them apart.
    streamSeek(stream, 17, 0);
    uint8_t names[41];
    if (!readExact(loader, names, sizeof names)) {
        return fail(loader, errorTruncated);
    }
    player->madTracker = std::memcmp(names + 21, madTrackerName, sizeof madTrackerName) == 0;
    copyText(player->title, names, 20);
    copyText(player->tracker, names + 21, 20);
    uint8_t version[2];
    uint8_t headerSize[4];
    uint8_t counts[6];
    uint8_t patternCount[2];
    uint8_t rest[264];
    if (!readExact(loader, version, 2) || !readExact(loader, headerSize, 4) ||
        !readExact(loader, counts, 6) || !readExact(loader, patternCount, 2) ||
        !readExact(loader, rest, 264)) {
        return fail(loader, errorTruncated);
    }
    // The patterns start here, or the instruments in the early layout.
    int64_t headerEnd = seekTargetAfter(60, le32(headerSize));
    if (headerEnd < 0) {
        return fail(loader, errorHeaderSize);
    }
    for (uint16_t early : earlyVersions) {
        loader.earlyLayout = loader.earlyLayout || le16(version) == early;
    }

    // The order table has 256 entries and a song has at least one position.
    uint16_t songLength = le16(counts);
    if (songLength > 256) {
        songLength = 256;
    }
    if (songLength == 0) {
        songLength = 1;
    }
    player->songLength = static_cast<int16_t>(songLength);
    uint16_t restart = le16(counts + 2);
    player->restartPosition = static_cast<int16_t>(restart < songLength ? restart : 0);

    uint16_t channels = le16(counts + 4);
    if (channels == 0) {
        return fail(loader, errorChannels);
    }
    loader.fileChannels = channels;
    player->fileChannelCount = channels;
    player->channelCount = static_cast<int16_t>(channels < maxChannels ? channels : maxChannels);

    uint16_t instruments = le16(rest);
    if (instruments > INT16_MAX) {
        return fail(loader, errorInstrumentCount);
    }
    player->instrumentCount = static_cast<int16_t>(instruments);
    player->flags = le16(rest + 2);
    player->defaultTempo = static_cast<int16_t>(le16(rest + 4));
    player->defaultBpm = static_cast<int16_t>(le16(rest + 6));
    std::memcpy(player->orderTable, rest + 8, sizeof player->orderTable);
    streamSeek(stream, static_cast<int32_t>(headerEnd), 0);

    player->usedPatternCount = 0;
    for (int32_t pos = 0; pos < player->songLength; ++pos) {
        if (player->orderTable[pos] >= player->usedPatternCount) {
            player->usedPatternCount = player->orderTable[pos] + 1;
        }
    }
    uint16_t filePatterns = le16(patternCount);
    player->filePatternCount = filePatterns;
    player->patternSlotCount =
        filePatterns > player->usedPatternCount ? filePatterns : player->usedPatternCount;

    if (loader.earlyLayout) {
        if (!loadInstruments(loader) || !loadPatterns(loader, filePatterns) ||
            !loadEarlySampleData(loader)) {
            return 0;
        }
        return 1;
    }
    if (!loadPatterns(loader, filePatterns) || !loadInstruments(loader)) {
        return 0;
    }
    return 1;
}

} // namespace

int32_t loadModule(ModulePlayer* player, ModuleStream* stream, const char** reason, LoadMode mode) {
    Loader loader{};
    loader.player = player;
    loader.stream = stream;
    loader.allocate = streamAllocator(stream);
    loader.error = "";
    loader.mode = mode;
    const int32_t loaded = player && stream ? readModule(loader) : fail(loader, errorNotXm);
    if (loaded == 1 && loader.cut) {
        finishDamage(loader);
    }
    if (reason) {
        *reason = loader.error;
    }
    return loaded;
}

} // namespace ostrel
