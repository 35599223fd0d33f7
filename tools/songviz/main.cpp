// songviz: renders the built-in song (or an XM file) through the demo's own engine and output
// path, then draws its waveform and spectrogram as a PNG, prints its levels, writes a WAV file
// or measures each channel on its own.
//   songviz [--module song.xm] [--seconds S] [--png out.png] [--wav out.wav] [--levels]
//           [--channels N] [--solo CHANNEL]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/songviz/analysis.h"
#include "tools/songviz/png.h"
#include "tools/songviz/song_render.h"

using namespace ostrel;
using namespace ostrel::songviz;

namespace {

bool writeFile(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> wavFile(const std::vector<int16_t>& pcm) {
    std::vector<uint8_t> out;
    uint32_t bytes = static_cast<uint32_t>(pcm.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 36 + bytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put32(out, 0x00020001); // PCM, 2 channels
    put32(out, 44100);
    put32(out, 44100 * 4);
    put32(out, 0x00100004); // 4 bytes per frame, 16 bits
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, bytes);
    for (int16_t s : pcm) {
        out.push_back(static_cast<uint8_t>(s & 0xFF));
        out.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
    return out;
}

void printLevels(const char* what, const std::vector<int16_t>& pcm) {
    Levels l = measureLevels(pcm.data(), pcm.size());
    std::printf("%-12s peak %6d (%6.2f dBFS)  rms %7.2f dBFS\n", what, l.peak, l.peakDb, l.rmsDb);
}

} // namespace

int main(int argc, char** argv) {
    const char* module = nullptr;
    const char* pngPath = nullptr;
    const char* wavPath = nullptr;
    double seconds = 60.0;
    bool levels = false;
    int channels = 0;
    int soloChannel = -1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--module" && hasValue)
            module = argv[++i];
        else if (a == "--png" && hasValue)
            pngPath = argv[++i];
        else if (a == "--wav" && hasValue)
            wavPath = argv[++i];
        else if (a == "--seconds" && hasValue)
            seconds = std::atof(argv[++i]);
        else if (a == "--channels" && hasValue)
            channels = std::atoi(argv[++i]);
        else if (a == "--solo" && hasValue)
            soloChannel = std::atoi(argv[++i]);
        else if (a == "--levels")
            levels = true;
        else {
            std::fprintf(stderr, "usage: songviz [--module song.xm] [--seconds S] [--png out.png]"
                                 " [--wav out.wav] [--levels] [--channels N] [--solo CHANNEL]\n");
            return 2;
        }
    }
    Rendering r;
    if (!renderSong(module, seconds, soloChannel, r)) {
        std::fprintf(stderr, "songviz: cannot render the song\n");
        return 1;
    }
    // Only whole chunks are rendered; keep exactly the seconds asked for.
    size_t wanted = static_cast<size_t>(seconds * 44100.0) * 2;
    if (r.pcm.size() > wanted)
        r.pcm.resize(wanted);
    if (levels)
        printLevels("mix", r.pcm);
    for (int ch = 0; ch < channels; ++ch) {
        Rendering solo;
        if (!renderSong(module, seconds, ch, solo))
            return 1;
        char name[32];
        std::snprintf(name, sizeof name, "channel %d", ch);
        printLevels(name, solo.pcm);
    }
    if (wavPath && !writeFile(wavPath, wavFile(r.pcm))) {
        std::fprintf(stderr, "songviz: cannot write %s\n", wavPath);
        return 1;
    }
    if (pngPath) {
        // A mark where each order position begins: the chunk whose end lies in a new order.
        std::vector<int64_t> marks;
        for (size_t i = 1; i < r.chunks.size(); ++i)
            if (r.chunks[i].order != r.chunks[i - 1].order)
                marks.push_back(static_cast<int64_t>(i) * chunkFramesAt(44100));
        const int width = 1200;
        const int height = 400;
        std::vector<uint8_t> rgb = drawSongPicture(r.pcm, width, height, marks);
        std::vector<uint8_t> png = encodePng(width, height, rgb);
        if (png.empty() || !writeFile(pngPath, png)) {
            std::fprintf(stderr, "songviz: cannot write %s\n", pngPath);
            return 1;
        }
    }
    return 0;
}
