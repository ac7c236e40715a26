// The player's console on Windows.
//
// For the whole run: the UTF-8 code pages, and escape-sequence processing on
// the output (without it the classic console shows the colour codes as
// text). Both are put back at exit, also on Ctrl-C, Ctrl-Break and when the
// window is closed, through a console control handler.
//
// While a text is typed on a console (both handles consoles): a 1 ms timer
// resolution so that the typewriter's pauses are not rounded to 15.6 ms
// ticks, no echo or line input, and Enter (its key press) shows the rest.
// The key events waiting before the text began are set aside and put back
// afterwards; those that came meanwhile are dropped.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmsystem.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include <array>
#include <string>
#include <atomic>
#include <string_view>
#include <thread>

#include "console_platform.hpp"
#include "typing_rules.hpp"

namespace console_platform {
namespace {

constexpr UINT utf8_code_page = 65001;
constexpr UINT timer_resolution_ms = 1;
constexpr std::size_t kept_event_capacity = 512;  // key events typed ahead and kept
constexpr DWORD event_chunk = 64;                 // events read at once while typing
// The automatic wrap back on (a banner may have been clipping lines), then the colour reset.
constexpr std::string_view give_back_screen = "\033[?7h\033[0m";

HANDLE input = INVALID_HANDLE_VALUE;
HANDLE output = INVALID_HANDLE_VALUE;
UINT found_output_code_page = 0;  // 0: no console to give back
UINT found_input_code_page = 0;
DWORD found_output_mode = 0;
DWORD found_input_mode = 0;
bool output_is_console = false;
bool interactive = false;
std::atomic<bool> typing{false};
bool input_gone = false;

std::array<INPUT_RECORD, kept_event_capacity> kept_events{};
DWORD kept_event_count = 0;

void stop_typing_settings() {
    if (!typing.exchange(false)) return;
    SetConsoleMode(input, found_input_mode);
    timeEndPeriod(timer_resolution_ms);
}

void give_back() {
    stop_typing_settings();
    if (output_is_console) SetConsoleMode(output, found_output_mode);
    if (found_output_code_page != 0) SetConsoleOutputCP(found_output_code_page);
    if (found_input_code_page != 0) SetConsoleCP(found_input_code_page);
}

// Runs on a thread of its own when the player presses Ctrl-C or Ctrl-Break,
// or closes the window. Returning FALSE lets the default handler end the
// process as usual.
BOOL WINAPI on_console_event(DWORD) {
    if (interactive) {
        DWORD written = 0;
        WriteFile(output, give_back_screen.data(), static_cast<DWORD>(give_back_screen.size()), &written, nullptr);
    }
    give_back();
    return FALSE;
}

EnterWaitEnd sleep_out(Clock::time_point deadline) {
    input_gone = true;
    std::this_thread::sleep_until(deadline);
    return EnterWaitEnd::again;
}

typing_rules::KeyEvent key_of(const INPUT_RECORD& event) {
    if (event.EventType != KEY_EVENT) return {false, 0};
    const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
    return {key.bKeyDown != FALSE, key.wVirtualKeyCode};
}

}  // namespace

bool open() {
    input = GetStdHandle(STD_INPUT_HANDLE);
    output = GetStdHandle(STD_OUTPUT_HANDLE);
    found_output_code_page = GetConsoleOutputCP();
    found_input_code_page = GetConsoleCP();
    // Stories and messages are UTF-8. Without a console the calls fail,
    // which does not matter.
    SetConsoleOutputCP(utf8_code_page);
    SetConsoleCP(utf8_code_page);
    output_is_console = GetConsoleMode(output, &found_output_mode) != FALSE;
    if (output_is_console) {
        SetConsoleMode(output, found_output_mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    interactive = output_is_console && GetConsoleMode(input, &found_input_mode) != FALSE;
    if (found_output_code_page != 0 || found_input_code_page != 0) SetConsoleCtrlHandler(on_console_event, TRUE);
    return interactive;
}

void close() {
    give_back();
    if (found_output_code_page != 0 || found_input_code_page != 0) SetConsoleCtrlHandler(on_console_event, FALSE);
}

std::streambuf* answers() { return nullptr; }  // the C runtime's console reading keeps type-ahead already

void begin_typing() {
    timeBeginPeriod(timer_resolution_ms);
    kept_event_count = 0;
    DWORD waiting = 0;
    if (GetNumberOfConsoleInputEvents(input, &waiting) != FALSE && waiting > 0) {
        const DWORD room = static_cast<DWORD>(kept_events.size());
        ReadConsoleInputW(input, kept_events.data(), waiting < room ? waiting : room, &kept_event_count);
    }
    input_gone = false;
    typing = true;
    SetConsoleMode(input, found_input_mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT | ENABLE_LINE_INPUT));
}

void end_typing() {
    FlushConsoleInputBuffer(input);
    if (kept_event_count > 0) {
        DWORD written = 0;
        WriteConsoleInputW(input, kept_events.data(), kept_event_count, &written);
    }
    stop_typing_settings();
}

EnterWaitEnd wait_for_enter(Clock::time_point deadline) {
    const Clock::duration left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return EnterWaitEnd::due;
    if (input_gone) return sleep_out(deadline);
    const DWORD timeout = static_cast<DWORD>(typing_rules::wait_timeout_ms(left));
    const DWORD result = WaitForSingleObject(input, timeout);
    if (result == WAIT_TIMEOUT) return EnterWaitEnd::again;
    if (result != WAIT_OBJECT_0) return sleep_out(deadline);
    std::array<INPUT_RECORD, event_chunk> events{};
    DWORD count = 0;
    if (ReadConsoleInputW(input, events.data(), event_chunk, &count) == FALSE) return sleep_out(deadline);
    for (DWORD i = 0; i < count; ++i) {
        if (typing_rules::finishes_text(key_of(events[i]))) return EnterWaitEnd::enter;
        if (typing_rules::switches_pace(key_of(events[i]))) return EnterWaitEnd::switch_pace;
    }
    return EnterWaitEnd::again;  // stray keys, focus and mouse events: gone
}

unsigned long continue_count() { return 0; }

unsigned long pace_switches_at_prompts() { return 0; }  // the C runtime reads the prompts' lines

int columns() {
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    if (GetConsoleScreenBufferInfo(output, &screen) == FALSE) return 0;
    return screen.srWindow.Right - screen.srWindow.Left + 1;
}

int display_columns(char32_t) { return -1; }  // no wcwidth: the shared table answers

void use_binary_standard_streams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

// The long-path limit of Windows' file names, in UTF-16 units.
constexpr DWORD longest_program_path = 32768;

std::filesystem::path program_path() {
    std::wstring path(longest_program_path, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), longest_program_path);
    if (length == 0 || length >= longest_program_path) return {};
    path.resize(length);
    return std::filesystem::path(path);
}

}  // namespace console_platform
