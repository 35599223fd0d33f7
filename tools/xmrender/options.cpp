// The command line: every option by its short and long names, values given as the next argument
// or joined with "=", and "--" ending the options.
#include "tools/xmrender/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/xmrender/output_file.h"

namespace ostrel::xmrender {

const char helpText[] =
    "usage: xmrender [FILE.xm] -o OUT.wav [--loops N | --seconds S] [--start POS] [--rate HZ]\n"
    "                [--float] [--mute CH] [--solo CH] [--positions OUT.txt] [--stems DIR]\n"
    "                [--force] [--quiet]\n"
    "       xmrender FILE.xm... -d OUTDIR [--loops N | --seconds S] [--start POS] [--rate HZ]\n"
    "                [--float] [--mute CH] [--solo CH] [--force] [--quiet]\n"
    "       xmrender [FILE.xm...] --stems DIR [--loops N | --seconds S] [--start POS] ...\n"
    "       xmrender [FILE.xm...] --info [--json] [--rate HZ]\n"
    "       xmrender [FILE.xm...] --play [--loop | --loops N] [--start POS] [--mute CH]\n"
    "                [--solo CH] [--rate HZ] [--quiet]\n"
    "       xmrender --help | --version\n"
    "\n"
    "Renders XM songs with the demo's own engine and mixer into 16-bit stereo PCM WAV files\n"
    "(or FLAC, or 32-bit float WAV), tells what songs are, or plays them live on the sound\n"
    "device. The WAV holds the bytes the demo's chunk ring plays, in the order the demo plays\n"
    "them.\n"
    "\n"
    "  FILE.xm              the song; without it, the song built into the demo\n"
    "  -o, --output OUT     the file to write: FLAC when its name ends in .flac, otherwise a\n"
    "                       WAV; - writes the WAV to standard output\n"
    "  -d, --output-dir DIR render each song to DIR/NAME.wav, NAME being the song's file name\n"
    "                       without its extension; a song that fails is reported and the\n"
    "                       others go on. DIR is made when missing\n"
    "  --stems DIR          write each channel on its own to DIR/NAME-chNN.wav (NAME as for -d,\n"
    "                       or \"builtin\"), as 32-bit float WAVs: added frame by frame, they\n"
    "                       make the float mix. Channels left out by --mute or --solo get none\n"
    "  -f, --force          replace output files that exist (an input song is never replaced)\n"
    "  --float              write a 32-bit float WAV: the mix before its 16-bit conversion\n"
    "  --loops N            render (or play) N passes of the song (default 1). A song ends the\n"
    "                       first time it is about to play again a row it has already played,\n"
    "                       not counting the repeats of a pattern loop; the next pass goes on\n"
    "                       from there to where that end comes again\n"
    "  --seconds S          render S seconds instead (at most 86400), rounded up to whole\n"
    "                       chunks\n"
    "  --start POS          start at POS: a time in seconds (90, 90.5) or minutes and seconds\n"
    "                       (1:30, 1:30.5), or an order and row marked by o (o12 is order 12,\n"
    "                       o12:16 its row 16; orders and rows count from 0). The sound from\n"
    "                       there is exactly that of a render from the start\n"
    "  --mute CH            silence channels, counted from 1 as trackers show them: 1,3-5\n"
    "  --solo CH            silence every channel but these (a list, as for --mute)\n"
    "  --rate HZ            output rate in frames per second, 8000 to 192000 (default 44100)\n"
    "  --positions OUT.txt  also write one line per chunk: \"order row timeMs seconds\", the\n"
    "                       song position reached at the end of that chunk. timeMs is the\n"
    "                       song clock the demo keeps, which falls a few percent behind the\n"
    "                       sound; seconds is exact: the song's time at the chunk's end\n"
    "  --info               print the song's title, tracker, channels, patterns, song length,\n"
    "                       restart position, instruments, samples, starting tempo and BPM,\n"
    "                       frequency table, duration, and the names of its instruments and\n"
    "                       samples (numbered from 1, empty ones left out); renders nothing.\n"
    "                       With several songs, one block each, headed by \"File: FILE.xm\"\n"
    "  --json               with --info: one JSON object per song, one per line\n"
    "  --play               play the songs live on the sound device, one after the other,\n"
    "                       each until its end has been heard; the keys are below\n"
    "  --loop               with --play: play on from the restart position until stopped\n"
    "  --quiet              no progress or status line (they appear only on a terminal)\n"
    "  -h, --help           show this text\n"
    "  --version            show xmrender's version\n"
    "  --                   end of the options: what follows are songs, even if named -x\n"
    "\n"
    "An option's value follows it (--rate 48000) or is joined to it (--rate=48000).\n"
    "\n"
    "Keys while playing: Space pauses and resumes; Left and Right go back and forward 5 s;\n"
    "Up and Page Up go to the previous order, Down and Page Down to the next; n plays the next\n"
    "song, p the previous one; q, Escape or Ctrl-C stop.\n"
    "\n"
    "Limits: a WAV file holds at most 4 GiB of sound: 24,347 s of 16-bit stereo at 44.1 kHz,\n"
    "or 12,173 s as float; the seconds go down as the rate goes up (22,369 s and 11,184 s at\n"
    "48 kHz). FLAC holds far more. A render that would not fit is refused before anything is\n"
    "rendered. A song whose end is not found within 30 minutes stops there, with a warning.\n"
    "\n"
    "Damaged songs: a file cut short in its pattern or sample data plays what it holds, with a\n"
    "warning saying what is missing; the rest of a sample is silence. A file cut inside its\n"
    "headers is refused.\n"
    "\n"
    "Files: an output is written to a temporary file beside it and renamed into place once\n"
    "complete, so a failed or interrupted run leaves no partial file; every output is opened\n"
    "before rendering starts. An existing output is kept unless --force, and an input song\n"
    "is never written over.\n"
    "\n"
    "Exit status: 0 done, 1 usage error, 2 the song is missing or cannot be loaded,\n"
    "3 an output file cannot be written, 4 no sound device could be opened (--play).\n"
    "With several songs, the status of the first that failed.\n";

int usage(const char* message, const char* detail) {
    std::fprintf(stderr, "xmrender: %s%s\n", message, detail ? detail : "");
    std::fprintf(stderr, "Try 'xmrender --help' for more information.\n");
    return exitUsage;
}

namespace {

enum class Key {
    output,
    outputDir,
    positions,
    stemsDir,
    start,
    mute,
    solo,
    seconds,
    loops,
    rate,
    force,
    floatWav,
    quiet,
    info,
    json,
    play,
    loop,
    help,
    version
};

struct OptionName {
    const char* name;
    Key key;
    bool takesValue;
};

const OptionName optionNames[] = {
    {"-o", Key::output, true},
    {"--output", Key::output, true},
    {"-d", Key::outputDir, true},
    {"--output-dir", Key::outputDir, true},
    {"--positions", Key::positions, true},
    {"--stems", Key::stemsDir, true},
    {"--start", Key::start, true},
    {"--mute", Key::mute, true},
    {"--solo", Key::solo, true},
    {"--json", Key::json, false},
    {"--seconds", Key::seconds, true},
    {"--loops", Key::loops, true},
    {"--rate", Key::rate, true},
    {"-f", Key::force, false},
    {"--force", Key::force, false},
    {"--float", Key::floatWav, false},
    {"--quiet", Key::quiet, false},
    {"--info", Key::info, false},
    {"--play", Key::play, false},
    {"--loop", Key::loop, false},
    {"-h", Key::help, false},
    {"--help", Key::help, false},
    {"--version", Key::version, false},
};

// The option an argument names: "--name=value" splits at the "=" (long names only).
const OptionName* findOption(const char* argument, const char** joinedValue) {
    *joinedValue = nullptr;
    const char* equals = argument[1] == '-' ? std::strchr(argument, '=') : nullptr;
    const size_t length = equals ? static_cast<size_t>(equals - argument) : std::strlen(argument);
    for (const OptionName& option : optionNames) {
        if (std::strlen(option.name) == length &&
            std::strncmp(option.name, argument, length) == 0) {
            if (equals)
                *joinedValue = equals + 1;
            return &option;
        }
    }
    return nullptr;
}

bool parseSeconds(const char* text, double* value) {
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(parsed > 0) || parsed > 86400)
        return false;
    *value = parsed;
    return true;
}

// --start: a time as seconds ("90", "90.5") or minutes and seconds ("1:30", "1:30.5"), or a row
// of an order marked by "o" ("o12", "o12:16").
bool parseStart(const char* text, StartPoint* start) {
    char* end = nullptr;
    errno = 0;
    if (text[0] == 'o') {
        const long order = std::strtol(text + 1, &end, 10);
        long row = 0;
        if (end == text + 1 || order < 0 || order > 255)
            return false;
        if (*end == ':') {
            const char* rowText = end + 1;
            row = std::strtol(rowText, &end, 10);
            if (end == rowText || row < 0 || row > 255)
                return false;
        }
        if (*end != '\0' || errno != 0)
            return false;
        *start = StartPoint{StartPoint::Kind::order, 0, static_cast<int32_t>(order),
                            static_cast<int32_t>(row)};
        return true;
    }
    double seconds = 0;
    const char* colon = std::strchr(text, ':');
    if (colon) {
        const long minutes = std::strtol(text, &end, 10);
        if (end != colon || minutes < 0 || !(colon[1] >= '0' && colon[1] <= '9'))
            return false;
        const double rest = std::strtod(colon + 1, &end);
        if (*end != '\0' || !(rest < 60))
            return false;
        seconds = minutes * 60.0 + rest;
    } else {
        seconds = std::strtod(text, &end);
        if (end == text || *end != '\0')
            return false;
    }
    if (errno != 0 || !(seconds >= 0) || seconds > 86400 || !(text[0] >= '0' && text[0] <= '9'))
        return false;
    *start = StartPoint{StartPoint::Kind::seconds, seconds, 0, 0};
    return true;
}

// --mute and --solo: channels from 1 to 32 as trackers show them, single or as ranges, separated
// by commas ("1,3-5").
bool parseChannels(const char* text, uint32_t* channels, int32_t* highest) {
    const char* at = text;
    for (;;) {
        char* end = nullptr;
        const long first = std::strtol(at, &end, 10);
        long last = first;
        if (end == at || !(*at >= '0' && *at <= '9'))
            return false;
        if (*end == '-') {
            at = end + 1;
            last = std::strtol(at, &end, 10);
            if (end == at || !(*at >= '0' && *at <= '9'))
                return false;
        }
        if (first < 1 || last < first || last > 32)
            return false;
        for (long channel = first; channel <= last; ++channel)
            *channels |= uint32_t{1} << (channel - 1);
        if (last - 1 > *highest)
            *highest = static_cast<int32_t>(last - 1);
        if (*end == '\0')
            return true;
        if (*end != ',')
            return false;
        at = end + 1;
    }
}

bool parseWhole(const char* text, long lowest, long highest, long* value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < lowest || parsed > highest)
        return false;
    *value = parsed;
    return true;
}

// Takes an option's value: 0, or the usage error's exit code once reported.
int takeValue(Key key, const char* value, Options* options) {
    long whole = 0;
    switch (key) {
    case Key::output:
        if (!*value)
            return usage("-o needs a file name, or - for standard output", nullptr);
        options->output = value;
        break;
    case Key::outputDir:
        if (!*value)
            return usage("-d needs a folder", nullptr);
        options->outputDir = value;
        break;
    case Key::positions:
        if (!*value)
            return usage("--positions needs a file name", nullptr);
        options->positions = value;
        break;
    case Key::stemsDir:
        if (!*value)
            return usage("--stems needs a folder", nullptr);
        options->stemsDir = value;
        break;
    case Key::start:
        if (!parseStart(value, &options->start))
            return usage(
                "--start needs a time (90, 90.5, 1:30) or an order and row (o12, o12:16): ", value);
        break;
    case Key::mute:
        if (!parseChannels(value, &options->channels.muted, &options->channels.highest))
            return usage("--mute needs channels from 1 to 32, as in 1,3-5: ", value);
        break;
    case Key::solo:
        if (!parseChannels(value, &options->channels.soloed, &options->channels.highest))
            return usage("--solo needs channels from 1 to 32, as in 2 or 2,4: ", value);
        break;
    case Key::seconds:
        if (!parseSeconds(value, &options->seconds))
            return usage("--seconds needs a length above 0 and up to 86400", nullptr);
        break;
    case Key::loops:
        if (!parseWhole(value, 1, 1000, &whole))
            return usage("--loops needs a whole number from 1 to 1000", nullptr);
        options->loops = static_cast<int32_t>(whole);
        break;
    case Key::rate:
        if (!parseWhole(value, 8000, 192000, &whole))
            return usage("--rate needs a whole number from 8000 to 192000", nullptr);
        options->rate = static_cast<uint32_t>(whole);
        break;
    default:
        break;
    }
    return 0;
}

void setFlag(Key key, Options* options) {
    switch (key) {
    case Key::force:
        options->force = true;
        break;
    case Key::floatWav:
        options->floatWav = true;
        break;
    case Key::quiet:
        options->quiet = true;
        break;
    case Key::info:
        options->info = true;
        break;
    case Key::json:
        options->json = true;
        break;
    case Key::play:
        options->play = true;
        break;
    case Key::loop:
        options->loop = true;
        break;
    default:
        break;
    }
}

// Options that only some modes take.
int checkCombination(const Options& options) {
    const bool writes =
        options.output || options.outputDir || options.positions || options.stemsDir;
    const bool shapes = options.start.kind != StartPoint::Kind::beginning ||
                        options.channels.muted || options.channels.soloed;
    if (options.info && (options.play || writes || options.seconds > 0 || options.loops ||
                         options.loop || options.floatWav || options.force || shapes))
        return usage("--info takes only songs, --rate and --json", nullptr);
    if (options.json && !options.info)
        return usage("--json goes with --info", nullptr);
    if (options.play && (writes || options.seconds > 0 || options.floatWav || options.force))
        return usage("--play writes no file: -o, -d, --stems, --positions, --seconds, --float "
                     "and --force do not apply",
                     nullptr);
    if (options.loop && !options.play)
        return usage("--loop goes with --play; to render passes, use --loops N", nullptr);
    if (options.loop && options.loops)
        return usage("--loop and --loops exclude each other", nullptr);
    if (options.seconds > 0 && options.loops)
        return usage("--seconds and --loops exclude each other", nullptr);
    if (options.output && options.outputDir)
        return usage("-o and -d exclude each other: -o names one file, -d a folder for each "
                     "song's",
                     nullptr);
    if (options.positions && !options.output)
        return usage("--positions goes with -o, for one song", nullptr);
    if (options.outputDir && options.songCount == 0)
        return usage("-d needs the songs to render; the built-in song goes with -o", nullptr);
    if (options.songCount > 1 && !options.info && !options.play && !options.outputDir &&
        !(options.stemsDir && !options.output))
        return usage("several songs are rendered with -d OUTDIR, or told with --info", nullptr);
    if (!options.info && !options.play && !options.output && !options.outputDir &&
        !options.stemsDir)
        return usage("no output file given (-o OUT.wav, or -o - for standard output)", nullptr);
    if (options.floatWav && options.output &&
        formatForPath(options.output, true) == OutputFormat::flac)
        return usage("--float writes a WAV; FLAC files are 16-bit", nullptr);
    return 0;
}

} // namespace

Parsed parseArguments(int argc, char** argv, Options* options) {
    *options = Options{};
    options->rate = 44100;
    options->channels.highest = -1;
    options->songs = static_cast<const char**>(std::malloc(sizeof(const char*) * (argc + 1)));
    if (!options->songs) {
        std::fprintf(stderr, "xmrender: out of memory\n");
        return Parsed::usageError;
    }
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (optionsEnded || argument[0] != '-' || argument[1] == '\0') {
            options->songs[options->songCount++] = argument; // "-" alone is a file name too
            continue;
        }
        if (std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        const char* joined = nullptr;
        const OptionName* option = findOption(argument, &joined);
        if (!option) {
            usage("unknown option ", argument);
            return Parsed::usageError;
        }
        if (option->key == Key::help)
            return Parsed::help;
        if (option->key == Key::version)
            return Parsed::version;
        if (!option->takesValue) {
            if (joined) {
                usage("this option takes no value: ", argument);
                return Parsed::usageError;
            }
            setFlag(option->key, options);
            continue;
        }
        const char* value = joined;
        if (!value && i + 1 < argc)
            value = argv[++i];
        if (!value)
            value = "";
        if (takeValue(option->key, value, options) != 0)
            return Parsed::usageError;
    }
    return checkCombination(*options) == 0 ? Parsed::run : Parsed::usageError;
}

void freeOptions(Options* options) {
    std::free(options->songs);
    options->songs = nullptr;
}

} // namespace ostrel::xmrender
