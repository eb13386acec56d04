#include "password_input.h"

#include <cstdio>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <termios.h>
#include <unistd.h>
#endif

#include "charset.h"
#include "console.h"
#include "crypto.h"

namespace tool {

namespace {

const char kFirstPrompt[] = "Password for the new database: ";
const char kSecondPrompt[] = "Repeat the password: ";

// One line's outcome.
enum LineRead { kLine, kTooLong, kFailed };

// Drops a line end, LF or CRLF, from the end of line.
void DropLineEnd(std::string* line)
{
    if (!line->empty() && line->back() == '\n')
        line->pop_back();
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
}

#ifdef _WIN32

HANDLE input = INVALID_HANDLE_VALUE; // standard input, when it is a console
DWORD consoleMode = 0;               // its mode before echo was turned off

// Ctrl+C or Ctrl+Break while the echo is off: give the console its echo back, then let
// the default handler end the process.
BOOL WINAPI RestoreEcho(DWORD)
{
    SetConsoleMode(input, consoleMode);
    return FALSE;
}

// A line typed on the console, as UTF-8 (ReadConsoleW gives the characters whatever the
// console's code page).
LineRead ConsoleLine(std::string* line)
{
    wchar_t typed[kLongestPassword + 3];
    DWORD count = 0;
    if (!ReadConsoleW(input, typed, (DWORD)(sizeof(typed) / sizeof(typed[0])), &count, NULL)) {
        crypto::Wipe(typed, sizeof(typed));
        return kFailed;
    }
    bool whole = count > 0 && typed[count - 1] == L'\n';
    LineRead result = kLine;
    if (!whole && count == sizeof(typed) / sizeof(typed[0])) {
        // The rest of the line is still waiting: read it away, so that it is not taken
        // as the second entry.
        result = kTooLong;
        wchar_t rest[64];
        DWORD more = 0;
        while (ReadConsoleW(input, rest, 64, &more, NULL) && more > 0 && rest[more - 1] != L'\n') {
        }
        crypto::Wipe(rest, sizeof(rest));
    }
    while (count > 0 && (typed[count - 1] == L'\n' || typed[count - 1] == L'\r'))
        --count;
    if (result == kLine) {
        int size = WideCharToMultiByte(CP_UTF8, 0, typed, (int)count, NULL, 0, NULL, NULL);
        if (size > (int)kLongestPassword) {
            result = kTooLong;
        } else {
            line->assign((size_t)size, '\0');
            if (size > 0)
                WideCharToMultiByte(CP_UTF8, 0, typed, (int)count, &(*line)[0], size, NULL, NULL);
        }
    }
    crypto::Wipe(typed, sizeof(typed));
    return result;
}

// The console's line, with echo off; the Enter that the echo would have shown is written.
LineRead Prompted(const char* prompt, std::string* line)
{
    WriteText(stderr, prompt);
    std::fflush(stderr);
    SetConsoleMode(input, (consoleMode & ~(DWORD)ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT);
    LineRead result = ConsoleLine(line);
    SetConsoleMode(input, consoleMode);
    WriteText(stderr, "\n");
    return result;
}

bool OnTerminal()
{
    input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == NULL || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &consoleMode))
        return false;
    static bool handled = false;
    if (!handled)
        handled = SetConsoleCtrlHandler(RestoreEcho, TRUE) != FALSE;
    return true;
}

// One byte of standard input: 1, 0 at its end, -1 on a failure.
int NextByte(char* c)
{
    DWORD got = 0;
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), c, 1, &got, NULL))
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    return got == 1 ? 1 : 0;
}

#else

struct termios saved;         // the terminal's settings before echo was turned off
volatile sig_atomic_t quiet;  // echo is off now

// A signal that ends the process while echo is off: give the terminal its echo back, then
// take the signal's default action. Job control (Ctrl+Z, then fg) is not caught: the
// shell keeps the stopped job's terminal settings and gives them back, echo still off.
void RestoreEcho(int signal)
{
    if (quiet)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    ::signal(signal, SIG_DFL);
    raise(signal);
}

int NextByte(char* c)
{
    for (;;) {
        ssize_t n = read(STDIN_FILENO, c, 1);
        if (n >= 0)
            return (int)n;
        if (errno != EINTR)
            return -1;
    }
}

#endif

// The first line of standard input, up to kLongestPassword bytes. With dropBom, a UTF-8
// byte order mark that opens it (as an editor may save a file) is left out, as
// keepassxc-cli leaves it out.
LineRead PipedLine(std::string* line, bool dropBom = false)
{
    line->reserve(kLongestPassword + 2);
    char c;
    int got;
    while ((got = NextByte(&c)) == 1) {
        line->push_back(c);
        if (c == '\n')
            break;
        if (dropBom && line->size() == 3) {
            if (*line == "\xEF\xBB\xBF")
                line->clear();
            dropBom = false;
        }
        if (line->size() > kLongestPassword + 1)
            return kTooLong;
    }
    if (got < 0)
        return kFailed;
    DropLineEnd(line);
    return line->size() > kLongestPassword ? kTooLong : kLine;
}

#ifndef _WIN32

bool OnTerminal()
{
    return isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
}

LineRead Prompted(const char* prompt, std::string* line)
{
    WriteText(stderr, prompt);
    std::fflush(stderr);
    struct termios silent = saved;
    silent.c_lflag &= ~(tcflag_t)ECHO;
    silent.c_lflag |= ECHONL | ICANON; // the Enter still shows
    static const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    for (int s : signals)
        signal(s, RestoreEcho);
    quiet = 1;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    LineRead result = PipedLine(line);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    quiet = 0;
    for (int s : signals)
        signal(s, SIG_DFL);
    return result;
}

#endif

bool Refuse(const std::string& message, std::string* why, std::string* a, std::string* b)
{
    crypto::Wipe(a);
    crypto::Wipe(b);
    *why = message;
    return false;
}

std::string TooLong()
{
    return "the password is longer than " + std::to_string(kLongestPassword) + " bytes";
}

} // namespace

bool PasswordIsTyped()
{
    return OnTerminal();
}

bool ReadNewPassword(std::string* password, std::string* why)
{
    std::string first, second;
    first.reserve(kLongestPassword + 2);
    second.reserve(kLongestPassword + 2);
    if (OnTerminal()) {
        LineRead a = Prompted(kFirstPrompt, &first);
        if (a == kFailed)
            return Refuse("the password could not be read", why, &first, &second);
        if (a == kTooLong)
            return Refuse(TooLong(), why, &first, &second);
        if (first.empty())
            return Refuse("the password is empty", why, &first, &second);
        LineRead b = Prompted(kSecondPrompt, &second);
        if (b == kFailed)
            return Refuse("the password could not be read", why, &first, &second);
        if (b == kTooLong || first != second)
            return Refuse("the two passwords differ", why, &first, &second);
    } else {
        LineRead a = PipedLine(&first, true);
        if (a == kFailed)
            return Refuse("the password could not be read from standard input", why, &first, &second);
        if (a == kTooLong)
            return Refuse(TooLong(), why, &first, &second);
        if (first.empty())
            return Refuse("the password is empty (its first line of standard input)", why, &first, &second);
    }
    if (charset::FirstInvalidUtf8(first) != std::string::npos)
        return Refuse("the password is not UTF-8 text", why, &first, &second);
    crypto::Wipe(password);
    password->reserve(first.size() + 1);
    password->assign(first);
    crypto::Wipe(&first);
    crypto::Wipe(&second);
    return true;
}

} // namespace tool
