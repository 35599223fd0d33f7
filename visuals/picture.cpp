// The picture decoder. The coded stream carries no end marker: decoding stops when the buffer
// is full, so every run is checked against what is left of both the stream and the buffer.
#include "visuals/picture.h"

#include <cstring>

namespace ostrel {

int decodePicture(const uint8_t* stream, int32_t length, uint8_t* buffer) {
    if (stream == nullptr || buffer == nullptr || length < 0) {
        return 0;
    }
    int32_t in = 0;
    int32_t out = 0;
    while (out < pictureBytes) {
        if (in >= length) {
            return 0; // ended early
        }
        const uint8_t control = stream[in++];
        if (control == 0 || control == pictureRepeatFlag) {
            return 0; // a run of nothing would never end the loop
        }
        if (control < pictureRepeatFlag) {
            const int32_t bytes = control * pictureBytesPerPixel;
            if (bytes > pictureBytes - out || bytes > length - in) {
                return 0;
            }
            std::memcpy(buffer + out, stream + in, static_cast<size_t>(bytes));
            in += bytes;
            out += bytes;
        } else {
            const int32_t count = control - pictureRepeatFlag;
            if (count * pictureBytesPerPixel > pictureBytes - out ||
                pictureBytesPerPixel > length - in) {
                return 0;
            }
            for (int32_t n = 0; n < count; ++n) {
                std::memcpy(buffer + out, stream + in, pictureBytesPerPixel);
                out += pictureBytesPerPixel;
            }
            in += pictureBytesPerPixel;
        }
    }
    return 1;
}

} // namespace ostrel
