#pragma once
// Every file of the game and of the player that the runtime reads is opened here (through the
// whole, head and windowed reads and OpenFile of PathResolver.h), and so are the fonts and the
// sound font. Opening never waits: a FIFO with no writer in place of a settings file, a save or
// a picture would hold open() for ever, deaf to the window and to Escape, and a device or a
// socket is no file of the game either. Only a regular file (or a link to one) is opened;
// anything else is refused with one report line, and its reader then does what it does for a
// file it cannot read.
#include <sys/stat.h>

#include <filesystem>
#include <string>

// How opening or reading a whole file went. Unreadable: it exists but cannot be read (no
// permission, a folder or anything but a regular file in its place, an input error); TooLarge:
// more bytes than the caller's limit.
enum class FileRead { Ok, Missing, Unreadable, TooLarge };

// Opens path to be read. Ok: fd is open on a regular file (the caller closes it) and st is its
// status. A name that is not there is Missing; a folder, or a file the system refuses, is
// Unreadable without a word (its reader says what it says of such a file); a FIFO, a device or
// a socket is Unreadable with the line "<shown> は通常のファイルではないため読みません（<kind>）"
// unless quiet. shown is the name the report gives (the path when empty). A failure leaves the
// system's error as the thread's file error (FileError.h): a folder is EISDIR.
FileRead OpenReadFile(const std::filesystem::path& path, int& fd, struct stat& st, const std::string& shown = {},
                      bool quiet = false);

// The same, for a reader that hands the path to a library which opens it by itself (a font or a
// sound font): true when the path is a regular file that can be read. A file swapped for a FIFO
// between this check and the library's own open is the one case left to the library.
bool IsReadableFile(const std::filesystem::path& path, const std::string& shown = {});
