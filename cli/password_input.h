// The password of an encrypted export, as keepassxc-cli takes one: typed twice on a
// terminal without being shown, or the first line of standard input from a pipe or a file.
#pragma once

#include <string>

namespace tool {

// The longest password taken, in bytes of UTF-8.
const size_t kLongestPassword = 1024;

// Reads the password of a new encrypted file into *password (UTF-8). When standard input is
// a terminal (a console on Windows) it is asked for twice on standard error, with echo off;
// otherwise it is the first line of standard input, its line end (LF or CRLF) and a UTF-8
// byte order mark at its start left out.
// False, with *why naming the password, when it is empty, the two entries differ, it is not
// UTF-8, longer than kLongestPassword, or could not be read. Whatever was read and not
// returned is wiped.
bool ReadNewPassword(std::string* password, std::string* why);

// Whether ReadNewPassword asks a person for the password: standard input is a terminal (a
// console on Windows).
bool PasswordIsTyped();

} // namespace tool
