// Whether a standard stream reaches a person at a terminal, and the
// character set that terminal shows.
#pragma once

namespace kestrix::platform {

enum class StandardStream { Output, Error };

// True when `stream` is a terminal (a console window on Windows).
bool isTerminal(StandardStream stream);

// True when text for the terminal is to be UTF-8: the character set of the
// environment's locale (LC_ALL, LC_CTYPE, LANG) on POSIX, read without
// changing the process's own; the console's output code page on Windows.
bool terminalTakesUtf8();

// True when a write to a stream has just failed, with errno `errorNumber`,
// because the program reading it has gone: a pipe whose other end is closed,
// as when the user quits the pager the table went to. POSIX ends the program
// by its signal first, unless that is ignored; Windows reports the write as
// failed.
bool readerGone(int errorNumber);

}  // namespace kestrix::platform
