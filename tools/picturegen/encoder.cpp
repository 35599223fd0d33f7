// The run-length encoder. Deterministic: the same pixels always give the same bytes.
#include "tools/picturegen/encoder.h"

#include <cstring>

namespace ostrel::picturegen {

namespace {

constexpr int32_t maxRun = 127;

bool samePixel(const uint8_t* pixels, int32_t a, int32_t b) {
    return std::memcmp(pixels + 3 * a, pixels + 3 * b, 3) == 0;
}

void appendPixels(std::vector<uint8_t>* out, const uint8_t* pixels, int32_t first, int32_t count) {
    out->insert(out->end(), pixels + 3 * first, pixels + 3 * (first + count));
}

void appendLittleEndian(std::vector<uint8_t>* out, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int32_t shift = 0; shift < 32; shift += 8) {
        out->push_back(static_cast<uint8_t>(bits >> shift));
    }
}

} // namespace

std::vector<uint8_t> encodePicture(const uint8_t* pixels, int32_t pixelCount) {
    std::vector<uint8_t> out;
    int32_t i = 0;
    while (i < pixelCount) {
        int32_t run = 1;
        while (i + run < pixelCount && run < maxRun && samePixel(pixels, i, i + run)) {
            ++run;
        }
        if (run >= 2) {
            out.push_back(static_cast<uint8_t>(0x80 + run));
            appendPixels(&out, pixels, i, 1);
            i += run;
            continue;
        }
        // A literal run stops where two equal neighbours begin, so that they become a repeat.
        int32_t end = i;
        while (end < pixelCount && end - i < maxRun) {
            if (end + 1 < pixelCount && samePixel(pixels, end, end + 1)) {
                break;
            }
            ++end;
        }
        out.push_back(static_cast<uint8_t>(end - i));
        appendPixels(&out, pixels, i, end - i);
        i = end;
    }
    return out;
}

std::vector<uint8_t> picturePreamble(int32_t width, int32_t height, int32_t bytesPerPixel) {
    std::vector<uint8_t> out;
    appendLittleEndian(&out, width);
    appendLittleEndian(&out, height);
    appendLittleEndian(&out, bytesPerPixel);
    appendLittleEndian(&out, 0);
    return out;
}

} // namespace ostrel::picturegen
