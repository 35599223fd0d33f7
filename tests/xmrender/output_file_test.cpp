// xmrender's output sink through the real file system: what each way of opening, writing,
// failing and stopping leaves behind, standard output (rewound or not, full), and the bytes of
// each format, FLAC decoded by libsndfile.
#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/xmrender/scratch_files.h"
#include "tools/xmrender/output_file.h"

namespace ostrel::testing {
namespace {

using xmrender::OutputFile;
using xmrender::OutputFormat;

// Three frames with both extremes, and the canonical 16-bit WAV holding them at 44.1 kHz.
const int16_t threeFrames[6] = {16384, -32768, 1, -1, 32767, 0};
const char canonicalWav[] = "RIFF\x30\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xac\0\0\x10\xb1\x02\0"
                            "\x04\0\x10\0data\x0c\0\0\0"
                            "\x00\x40\x00\x80\x01\x00\xff\xff\xff\x7f\x00\x00";
// The float WAV's header for three stereo frames at 44.1 kHz.
const char floatHeader[] = "RIFF\x4a\0\0\0WAVEfmt \x12\0\0\0\x03\0\x02\0\x44\xac\0\0\x20\x62\x05\0"
                           "\x08\0\x20\0\0\0fact\x04\0\0\0\x03\0\0\0data\x18\0\0\0";

std::string bytes(const char* literal, size_t sizeWithNul) {
    return std::string(literal, sizeWithNul - 1);
}

bool open16(OutputFile* out, const std::string& path, int64_t frames, bool force,
            const std::string& input, std::string* error) {
    const char* inputs[] = {nullptr, input.c_str()}; // a missing input is skipped
    char text[512] = "";
    const bool opened = xmrender::openOutput(out, path.c_str(), OutputFormat::wav16, 44100, 2,
                                             frames, force, inputs, 2, text, sizeof text);
    *error = text;
    return opened;
}

enum Ending { finished, aborted, signalled };

struct LeftBehindCase {
    const char* output; // in the scratch folder; "=same", "=spelt", "=hard", "=soft": the input
    const char* existing;
    bool force;
    int64_t frames; // announced (3 are written); -1: one more than a WAV holds
    Ending ending;
    const char* refusal; // part of the refusal; null: opens
    int reason;          // the system's reason the refusal gives (0: none)
};

TEST(OutputFile, LeavesOnlyTheFinishedFileOrNothing) {
    const char* const overwrites = "would overwrite the input song";
    const char* const cannotCreate = "cannot create a file in its folder";
    const LeftBehindCase cases[] = {
        {"out.wav", nullptr, false, 3, finished, nullptr, 0},
        {"out.wav", nullptr, false, 9, finished, nullptr, 0}, // the header corrected
        {"out.wav", "old", false, 3, finished, "out.wav exists; use --force (-f)", 0},
        {"out.wav", "old", true, 3, finished, nullptr, 0},
        {"out.wav", "old", true, 3, aborted, nullptr, 0},
        {"out.wav", nullptr, false, 3, aborted, nullptr, 0},
        {"out.wav", nullptr, false, 3, signalled, nullptr, 0},
        {"=same", nullptr, true, 3, finished, overwrites, 0},
        {"=spelt", nullptr, true, 3, finished, overwrites, 0},
        {"=hard", nullptr, true, 3, finished, overwrites, 0},
        {"=soft", nullptr, true, 3, finished, overwrites, 0},
        {"sub", nullptr, true, 3, finished, "is a folder", 0},
        {"none/out.wav", nullptr, false, 3, finished, cannotCreate, ENOENT},
        {"song.xm/out.wav", nullptr, false, 3, finished, cannotCreate, ENOTDIR},
        {"locked/out.wav", nullptr, false, 3, finished, cannotCreate, EACCES},
        {"out.wav", nullptr, false, -1, finished, "too long for a WAV file", 0},
    };
    for (const LeftBehindCase& c : cases) {
        SCOPED_TRACE(std::string(c.output) + (c.existing ? " existing" : "") +
                     (c.force ? " forced" : "") + " ending " + std::to_string(c.ending));
        ScratchDir scratch;
        const std::string song = scratch / "song.xm";
        writeFile(song, "Extended Module: a song");
        ASSERT_EQ(mkdir((scratch / "sub").c_str(), 0777), 0);
        ASSERT_EQ(mkdir((scratch / "locked").c_str(), 0555), 0);
        const std::string relation = c.output;
        std::string output = scratch / c.output;
        if (relation == "=same")
            output = song;
        if (relation == "=spelt")
            output = scratch.dir + "//sub/../song.xm";
        if (relation == "=hard") {
            output = scratch / "linked.xm";
            ASSERT_EQ(link(song.c_str(), output.c_str()), 0);
        }
        if (relation == "=soft") {
            output = scratch / "alias.xm";
            ASSERT_EQ(symlink("song.xm", output.c_str()), 0);
        }
        // Permissions do not hold root back: a file system that refuses creation stands in, and
        // where it is mounted read-only that is the reason given.
        const int reasons[2] = {c.reason, c.reason == EACCES ? EROFS : 0};
        if (access((scratch / "locked").c_str(), W_OK) == 0 && relation == "locked/out.wav")
            output = "/sys/out.wav";
        if (c.existing)
            writeFile(output, c.existing);
        const int64_t frames =
            c.frames < 0 ? xmrender::maxOutputFrames(OutputFormat::wav16, 2) + 1 : c.frames;
        const auto before = scratch.contents();

        OutputFile out = {};
        std::string error;
        const bool opened = open16(&out, output, frames, c.force, song, &error);
        if (c.refusal) {
            EXPECT_FALSE(opened);
            EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
            EXPECT_NE(error.find(output), std::string::npos) << error;
            bool reasonGiven = c.reason == 0;
            for (int reason : reasons)
                reasonGiven |= reason && error.find(std::strerror(reason)) != std::string::npos;
            EXPECT_TRUE(reasonGiven) << error;
            EXPECT_EQ(scratch.contents(), before);
            xmrender::abortOutput(&out);
            continue;
        }
        ASSERT_TRUE(opened) << error;
        ASSERT_TRUE(xmrender::writeFrames16(&out, threeFrames, 3)) << xmrender::outputError(&out);
        // While it is written, the final path is as it was and one hidden file stands beside it.
        auto during = scratch.contents();
        for (const auto& [name, content] : before)
            EXPECT_EQ(during[name], content) << name;
        ASSERT_EQ(during.size(), before.size() + 1);
        for (const auto& [name, content] : during) {
            if (!before.count(name)) {
                EXPECT_TRUE(name.rfind(".out.wav.", 0) == 0 && name.size() == 15) << name;
            }
        }

        auto expected = before;
        if (c.ending == finished) {
            char text[512] = "";
            EXPECT_TRUE(xmrender::finishOutput(&out, text, sizeof text)) << text;
            expected["out.wav"] = bytes(canonicalWav, sizeof canonicalWav);
        } else if (c.ending == signalled) {
            xmrender::removePendingOutputs(); // alone: the program ends in the handler
            EXPECT_EQ(scratch.contents(), expected);
            xmrender::abortOutput(&out);
        } else {
            xmrender::abortOutput(&out);
        }
        EXPECT_EQ(scratch.contents(), expected);
    }
}

// Standard output as the caller left it: a file (rewound to correct the header), a pipe (which
// cannot be), or a full device.
TEST(OutputFile, StandardOutputGetsTheHeaderFirst) {
    struct Case {
        const char* name;
        const char* target; // "file", "text+file" (after other output), "pipe" or a device
        OutputFormat format;
        int64_t announced;
        bool succeeds;
        const char* failure; // part of the error
    };
    const std::string noSpace = std::strerror(ENOSPC);
    const Case cases[] = {
        {"file", "file", OutputFormat::wav16, 3, true, ""},
        {"file, header corrected", "file", OutputFormat::wav16, 8, true, ""},
        {"file after text, corrected", "text+file", OutputFormat::wav16, 8, true, ""},
        {"pipe", "pipe", OutputFormat::wav16, 3, true, ""},
        {"pipe, header wrong", "pipe", OutputFormat::wav16, 8, false, "cannot be rewound"},
        {"full device", "/dev/full", OutputFormat::wav16, 3, false, noSpace.c_str()},
        {"FLAC", "file", OutputFormat::flac, 3, false, "FLAC cannot go to standard output"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch;
        const std::string captured = scratch / "stdout";
        int ends[2] = {-1, -1};
        int target = -1;
        if (std::strcmp(c.target, "pipe") == 0) {
            ASSERT_EQ(pipe(ends), 0);
            target = ends[1];
        } else if (std::strstr(c.target, "file")) {
            target = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            if (std::strstr(c.target, "text")) {
                ASSERT_EQ(write(target, "text", 4), 4);
            }
        } else {
            target = open(c.target, O_WRONLY);
        }
        ASSERT_GE(target, 0);
        // Nothing may be asserted while standard output is taken.
        std::fflush(stdout);
        const int saved = dup(STDOUT_FILENO);
        dup2(target, STDOUT_FILENO);
        OutputFile out = {};
        char error[512] = "";
        bool ok = xmrender::openOutput(&out, "-", c.format, 44100, 2, c.announced, false, nullptr,
                                       0, error, sizeof error);
        ok = ok && xmrender::writeFrames16(&out, threeFrames, 3);
        ok = ok && xmrender::finishOutput(&out, error, sizeof error);
        if (!ok && !*error)
            std::snprintf(error, sizeof error, "%s", xmrender::outputError(&out));
        xmrender::abortOutput(&out);
        dup2(saved, STDOUT_FILENO);
        close(saved);
        close(target);

        EXPECT_EQ(ok, c.succeeds) << error;
        if (!c.succeeds) {
            EXPECT_NE(std::string(error).find(c.failure), std::string::npos) << error;
        }
        std::string written;
        if (ends[0] >= 0) {
            char block[256];
            for (ssize_t n; (n = read(ends[0], block, sizeof block)) > 0;)
                written.append(block, static_cast<size_t>(n));
            close(ends[0]);
        } else if (std::strstr(c.target, "file")) {
            written = readFile(captured);
        }
        if (c.succeeds) {
            EXPECT_EQ(written, (std::strstr(c.target, "text") ? "text" : "") +
                                   bytes(canonicalWav, sizeof canonicalWav));
        }
        if (c.format == OutputFormat::flac) {
            EXPECT_EQ(written, ""); // nothing of a refused output
        }
    }
}

std::string littleEndian(const std::vector<uint32_t>& words) {
    std::string out;
    for (uint32_t word : words)
        for (int shift = 0; shift < 32; shift += 8)
            out += static_cast<char>(word >> shift);
    return out;
}

TEST(OutputFile, FloatWavHoldsTheMixOverFullScale) {
    const float mix[6] = {16384.0f, -32768.0f, 40000.0f, 0.5f, -0.25f, 3.0f};
    struct Case {
        const char* name;
        bool fromFloat;
        int64_t announced;
        std::vector<uint32_t> data;
    };
    const Case cases[] = {
        {"float mix",
         true,
         3,
         {0x3F000000, 0xBF800000, 0x3F9C4000, 0x37800000, 0xB7000000, 0x38C00000}},
        {"float mix, header corrected",
         true,
         11,
         {0x3F000000, 0xBF800000, 0x3F9C4000, 0x37800000, 0xB7000000, 0x38C00000}},
        {"16-bit frames",
         false,
         3,
         {0x3F000000, 0xBF800000, 0x38000000, 0xB8000000, 0x3F7FFE00, 0x00000000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch;
        const std::string path = scratch / "mix.wav";
        OutputFile out = {};
        char error[512] = "";
        ASSERT_EQ(xmrender::formatForPath(path.c_str(), true), OutputFormat::wavFloat);
        ASSERT_TRUE(xmrender::openOutput(&out, path.c_str(), OutputFormat::wavFloat, 44100, 2,
                                         c.announced, false, nullptr, 0, error, sizeof error))
            << error;
        EXPECT_TRUE(c.fromFloat ? xmrender::writeFramesFloat(&out, mix, 3)
                                : xmrender::writeFrames16(&out, threeFrames, 3));
        EXPECT_TRUE(xmrender::finishOutput(&out, error, sizeof error)) << error;
        EXPECT_EQ(readFile(path), bytes(floatHeader, sizeof floatHeader) + littleEndian(c.data));
    }
}

// libsndfile, loaded here as the sink loads it, so that the test binary does not link it.
struct SndfileReader {
    void* library = dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
    SNDFILE* (*open)(const char*, int, SF_INFO*) = nullptr;
    sf_count_t (*readfShort)(SNDFILE*, short*, sf_count_t) = nullptr;
    int (*close)(SNDFILE*) = nullptr;
    SndfileReader() {
        if (!library)
            return;
        open = reinterpret_cast<decltype(open)>(dlsym(library, "sf_open"));
        readfShort = reinterpret_cast<decltype(readfShort)>(dlsym(library, "sf_readf_short"));
        close = reinterpret_cast<decltype(close)>(dlsym(library, "sf_close"));
    }
    ~SndfileReader() {
        if (library)
            dlclose(library);
    }
};

// A FLAC file decodes to the 16-bit WAV's samples, one for one, over several buffers' worth.
TEST(OutputFile, FlacDecodesToTheSixteenBitWav) {
    SndfileReader sndfile;
    if (!sndfile.library || !sndfile.open || !sndfile.readfShort || !sndfile.close)
        GTEST_SKIP() << "libsndfile.so.1 cannot be loaded: " << dlerror();
    const int32_t frames = 50000;
    std::vector<int16_t> samples(size_t(frames) * 2);
    uint32_t noise = 12345;
    for (size_t i = 0; i < samples.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        samples[i] = static_cast<int16_t>(i < 4 ? (i % 2 ? -32768 : 32767) : int(noise >> 16));
    }
    ScratchDir scratch;
    for (const char* name : {"song.wav", "song.FLAC"}) {
        SCOPED_TRACE(name);
        const std::string path = scratch / name;
        OutputFile out = {};
        char error[512] = "";
        ASSERT_TRUE(xmrender::openOutput(&out, path.c_str(), xmrender::formatForPath(name, false),
                                         48000, 2, frames, false, nullptr, 0, error, sizeof error))
            << error;
        for (int32_t done = 0; done < frames; done += 1024)
            ASSERT_TRUE(xmrender::writeFrames16(&out, samples.data() + size_t(done) * 2,
                                                std::min(1024, frames - done)))
                << xmrender::outputError(&out);
        ASSERT_TRUE(xmrender::finishOutput(&out, error, sizeof error)) << error;
    }
    const std::string wav = readFile(scratch / "song.wav");
    ASSERT_EQ(wav.size(), 44 + samples.size() * 2);
    std::vector<int16_t> wavSamples(samples.size());
    for (size_t i = 0; i < wavSamples.size(); ++i)
        wavSamples[i] =
            static_cast<int16_t>(uint8_t(wav[44 + 2 * i]) | uint8_t(wav[45 + 2 * i]) << 8);
    EXPECT_EQ(wavSamples, samples);

    SF_INFO info = {};
    SNDFILE* flac = sndfile.open((scratch / "song.FLAC").c_str(), SFM_READ, &info);
    ASSERT_NE(flac, nullptr);
    EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
    EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.frames, frames);
    std::vector<int16_t> decoded(samples.size() + 2);
    EXPECT_EQ(sndfile.readfShort(flac, decoded.data(), frames + 1), frames);
    sndfile.close(flac);
    decoded.resize(samples.size());
    EXPECT_EQ(decoded, wavSamples);
}

TEST(OutputFile, FormatFollowsTheExtension) {
    struct Case {
        const char* path;
        bool floatWanted;
        OutputFormat format;
    };
    const Case cases[] = {
        {"a.flac", false, OutputFormat::flac},
        {"A.FLAC", true, OutputFormat::flac},
        {"x/a.Flac", false, OutputFormat::flac},
        {"a.flac.wav", false, OutputFormat::wav16},
        {"a.wav", true, OutputFormat::wavFloat},
        {"-", true, OutputFormat::wavFloat},
        {"-", false, OutputFormat::wav16},
        {"flac", false, OutputFormat::wav16},
        {"a.flac/b.wav", false, OutputFormat::wav16},
    };
    for (const Case& c : cases)
        EXPECT_EQ(xmrender::formatForPath(c.path, c.floatWanted), c.format)
            << c.path << (c.floatWanted ? " --float" : "");
}

} // namespace
} // namespace ostrel::testing
