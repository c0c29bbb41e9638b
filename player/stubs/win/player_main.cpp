// The Windows player stubs: vekgplay.exe (SP) and, built with
// VEK_ADPCM_STUB, vekaplay.exe (HQ and SHQ). One small dialog with Play and
// Stop that plays the recording appended to the program's own file through
// the wave mapper. All behaviour lives in the portable player core; this file
// binds it to the dialog, the file and waveOut. No exceptions, iostreams or
// printf family here: the stub must stay within its fixed size.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>
#include <mmsystem.h>

#include "resource.h"
#include "vek/player/decoders.hpp"
#include "vek/player/player_core.hpp"

namespace {

using vek::player::PlayerCore;

class Win32PlayerFile final : public vek::player::PlayerFile {
public:
    char path[MAX_PATH + 1] = {};

    bool open() override {
        close();
        m_h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return m_h != INVALID_HANDLE_VALUE;
    }
    void close() override {
        if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }
    std::int64_t size() override {
        LARGE_INTEGER s;
        return (m_h != INVALID_HANDLE_VALUE && GetFileSizeEx(m_h, &s)) ? s.QuadPart : -1;
    }
    bool seek(std::uint64_t offset) override {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        return m_h != INVALID_HANDLE_VALUE && SetFilePointerEx(m_h, at, nullptr, FILE_BEGIN);
    }
    std::size_t read(void* dst, std::size_t n) override {
        DWORD got = 0;
        if (m_h == INVALID_HANDLE_VALUE || !ReadFile(m_h, dst, static_cast<DWORD>(n), &got, nullptr)) return 0;
        return got;
    }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};

// waveOut on the wave mapper; completions arrive as MM_WOM_DONE at the dialog.
class WaveOutDevice final : public vek::player::SoundDevice {
public:
    HWND window = nullptr;
    HWAVEOUT handle = nullptr;
    WAVEHDR headers[2] = {};

    bool open(unsigned rate) override {
        if (waveOutGetNumDevs() == 0) return false;
        WAVEFORMATEX fmt = {};
        fmt.wFormatTag = WAVE_FORMAT_PCM;
        fmt.nChannels = 1;
        fmt.nSamplesPerSec = rate;
        fmt.nAvgBytesPerSec = rate * 2;
        fmt.nBlockAlign = 2;
        fmt.wBitsPerSample = 16;
        if (waveOutOpen(nullptr, WAVE_MAPPER, &fmt, 0, 0, WAVE_FORMAT_QUERY) != MMSYSERR_NOERROR) return false;
        if (waveOutOpen(&handle, WAVE_MAPPER, &fmt, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW) !=
            MMSYSERR_NOERROR) {
            handle = nullptr;
            return false;
        }
        return true;
    }
    void queue(int index, const std::int16_t* samples, std::size_t count) override {
        WAVEHDR& h = headers[index];
        if (!(h.dwFlags & WHDR_PREPARED) || h.lpData != reinterpret_cast<LPSTR>(const_cast<std::int16_t*>(samples))) {
            if (h.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(handle, &h, sizeof h);
            h = WAVEHDR{};
            h.lpData = reinterpret_cast<LPSTR>(const_cast<std::int16_t*>(samples));
            h.dwBufferLength = static_cast<DWORD>(count * 2);
            waveOutPrepareHeader(handle, &h, sizeof h);
        }
        h.dwBufferLength = static_cast<DWORD>(count * 2);
        waveOutWrite(handle, &h, sizeof h);
    }
    void reset() override {
        if (!handle) return;
        waveOutReset(handle);
        for (WAVEHDR& h : headers) {
            if (h.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(handle, &h, sizeof h);
            h = WAVEHDR{};
        }
    }
    void close() override {
        if (handle) waveOutClose(handle);
        handle = nullptr;
    }
    // Which of the two buffers a completion notice is about (-1: not ours).
    int indexOf(WPARAM device, LPARAM header) const {
        if (!handle || reinterpret_cast<HWAVEOUT>(device) != handle) return -1;
        for (int i = 0; i < 2; ++i) {
            if (reinterpret_cast<const WAVEHDR*>(header) == &headers[i]) return i;
        }
        return -1;
    }
};

#if defined(VEK_ADPCM_STUB)
constexpr const vek::player::PlayerLayout* kLayout = &vek::player::kHqLayout;
vek::player::AdpcmBlockDecoder g_decoder;
vek::player::BlockDecoder& decoder() { return g_decoder; }
#else
constexpr const vek::player::PlayerLayout* kLayout = &vek::player::kSpLayout;
vek::player::BlockDecoder& decoder() { return *vek::player::spBlockDecoder(); }
#endif

Win32PlayerFile g_file;
WaveOutDevice g_device;
vek::VoiceEffect g_effect;
PlayerCore* g_core = nullptr;
HBITMAP g_bmpPlay, g_bmpPlaying, g_bmpStop;
bool g_showsPlaying = false;

void updateTitle(HWND dlg) {
    char text[64];
    g_core->title(text);
    SetWindowTextA(dlg, text);
}

// Play button bitmap and state follow the core (playback may end by itself).
void syncButtons(HWND dlg) {
    const bool playing = g_core->playing();
    if (playing == g_showsPlaying) return;
    g_showsPlaying = playing;
    HWND play = GetDlgItem(dlg, IDC_PLAY);
    SendMessageA(play, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(playing ? g_bmpPlaying : g_bmpPlay));
    EnableWindow(play, playing ? FALSE : TRUE);
}

// No button keeps a focus frame or the default look after a click.
void dropFocus(HWND dlg, int button) {
    HWND b = GetDlgItem(dlg, button);
    const LONG_PTR style = GetWindowLongPtrA(b, GWL_STYLE);
    SendMessageA(b, BM_SETSTYLE, static_cast<WPARAM>(style & ~static_cast<LONG_PTR>(BS_DEFPUSHBUTTON)), TRUE);
    SetFocus(GetDlgItem(dlg, IDC_TEXT1));
}

void playClick(HWND dlg) {
    if (g_core->playing()) return;
    if (g_core->play() == PlayerCore::StartResult::DeviceFailed) {
        MessageBoxA(dlg, "Can not open sound device.", "Player", MB_OK | MB_ICONINFORMATION);
    }
    syncButtons(dlg);
    dropFocus(dlg, IDC_PLAY);
}

void stopClick(HWND dlg) {
    g_core->stopButton();
    syncButtons(dlg);
    updateTitle(dlg);
    dropFocus(dlg, IDC_STOP);
}

INT_PTR CALLBACK dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG: {
            HINSTANCE inst = GetModuleHandleA(nullptr);
            g_bmpPlay = static_cast<HBITMAP>(LoadImageA(inst, MAKEINTRESOURCEA(IDB_PLAY), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
            g_bmpPlaying = static_cast<HBITMAP>(LoadImageA(inst, MAKEINTRESOURCEA(IDB_PLAYING), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
            g_bmpStop = static_cast<HBITMAP>(LoadImageA(inst, MAKEINTRESOURCEA(IDB_STOP), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
            SendDlgItemMessageA(dlg, IDC_PLAY, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(g_bmpPlay));
            SendDlgItemMessageA(dlg, IDC_STOP, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(g_bmpStop));
            HICON icon = LoadIconA(inst, MAKEINTRESOURCEA(IDI_PLAYER));
            SendMessageA(dlg, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            SendMessageA(dlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
            g_device.window = dlg;
            g_core->loadHeader();
#if defined(VEK_ADPCM_STUB)
            // SHQ recordings play at 11025 Hz, HQ ones at 8000 Hz.
            if (g_core->header().mode == 6) {
                g_core->setLayout(vek::player::kShqLayout);
                g_core->loadHeader();
            }
#endif
            updateTitle(dlg);
            playClick(dlg);
            return FALSE;  // focus already placed
        }
        case MM_WOM_DONE: {
            const int index = g_device.indexOf(wp, lp);
            if (index >= 0) {
                g_core->bufferDone(index);
                updateTitle(dlg);
                syncButtons(dlg);
            }
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wp)) {
                case IDC_PLAY:
                    if (HIWORD(wp) == BN_CLICKED) playClick(dlg);
                    return TRUE;
                case IDC_STOP:
                    if (HIWORD(wp) == BN_CLICKED) stopClick(dlg);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dlg, 1);
                    return TRUE;
                default:
                    return FALSE;  // the hidden default button does nothing
            }
        case WM_DESTROY:
            g_core->stop();
            return FALSE;
        default:
            return FALSE;
    }
    (void)lp;
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
    GetModuleFileNameA(nullptr, g_file.path, MAX_PATH);
    static PlayerCore core(*kLayout, g_file, g_device, decoder(), g_effect);
    g_core = &core;
    DialogBoxParamA(inst, MAKEINTRESOURCEA(IDD_PLAYER), nullptr, dialogProc, 0);
    return 0;
}
