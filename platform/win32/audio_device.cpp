// Wave-out sound device: one looping buffer (begin-loop and end-loop flags, loop count all
// ones) on the wave mapper, no callback, position queried in bytes.
#include "platform/audio_device.h"

#include <cstring>

#include <windows.h>
#include <mmsystem.h>

namespace ostrel::platform {

namespace {
HWAVEOUT waveDevice = nullptr;
WAVEHDR ringHeader;
// Whether the driver still holds the header prepared. Unpreparing while the ring plays is
// refused by the driver, so the reset unprepares again once playback has stopped.
bool headerPrepared = false;
// Why the last open failed, in wave-out's words; empty after an open that succeeded.
char lastError[MAXERRORLENGTH + 32] = "";

// "wave-out error N" for a code the system has no text for. Written out by hand: the demo is
// size-coded, and snprintf would bring in the C library's whole formatter (about 20 KiB).
void describeCode(MMRESULT code) {
    static const char prefix[] = "wave-out error ";
    char digits[10];
    int count = 0;
    uint32_t value = static_cast<uint32_t>(code);
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    size_t at = sizeof prefix - 1;
    std::memcpy(lastError, prefix, at);
    while (count > 0)
        lastError[at++] = digits[--count];
    lastError[at] = '\0';
}

int audioDeviceOpen(uint32_t rate) {
    WAVEFORMATEX format;
    ZeroMemory(&format, sizeof format);
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = rate;
    format.nAvgBytesPerSec = rate * 4;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    MMRESULT result = waveOutOpen(&waveDevice, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    lastError[0] = '\0';
    if (result != MMSYSERR_NOERROR) {
        waveDevice = nullptr;
        if (waveOutGetErrorTextA(result, lastError, MAXERRORLENGTH) != MMSYSERR_NOERROR)
            describeCode(result);
        return static_cast<int>(result);
    }
    return 0;
}

void audioDevicePrepare(int16_t* ring, uint32_t bytes) {
    ZeroMemory(&ringHeader, sizeof ringHeader);
    ringHeader.lpData = reinterpret_cast<LPSTR>(ring);
    ringHeader.dwBufferLength = bytes;
    ringHeader.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    ringHeader.dwLoops = 0xFFFFFFFFu;
    if (waveOutPrepareHeader(waveDevice, &ringHeader, sizeof ringHeader) == MMSYSERR_NOERROR)
        headerPrepared = true;
}

void audioDeviceWrite() {
    waveOutWrite(waveDevice, &ringHeader, sizeof ringHeader);
}

int audioDeviceGetPosition(uint32_t* bytes) {
    MMTIME time;
    ZeroMemory(&time, sizeof time);
    time.wType = TIME_BYTES;
    MMRESULT result = waveOutGetPosition(waveDevice, &time, sizeof time);
    if (result != MMSYSERR_NOERROR || time.wType != TIME_BYTES)
        return result != MMSYSERR_NOERROR ? static_cast<int>(result) : 1;
    *bytes = time.u.cb;
    return 0;
}

void audioDeviceUnprepare() {
    if (waveOutUnprepareHeader(waveDevice, &ringHeader, sizeof ringHeader) == MMSYSERR_NOERROR)
        headerPrepared = false;
    ringHeader.dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
}

void audioDeviceReset() {
    if (!waveDevice)
        return;
    waveOutReset(waveDevice);
    if (headerPrepared) {
        ringHeader.dwFlags |= WHDR_PREPARED;
        if (waveOutUnprepareHeader(waveDevice, &ringHeader, sizeof ringHeader) == MMSYSERR_NOERROR)
            headerPrepared = false;
    }
}

int audioDeviceClose() {
    MMRESULT result = waveOutClose(waveDevice);
    waveDevice = nullptr;
    return static_cast<int>(result);
}

} // namespace

const AudioDevice systemAudioDevice = {
    audioDeviceOpen,      audioDevicePrepare, audioDeviceWrite, audioDeviceGetPosition,
    audioDeviceUnprepare, audioDeviceReset,   audioDeviceClose,
};

const char* systemAudioDeviceError() {
    return lastError;
}

} // namespace ostrel::platform
