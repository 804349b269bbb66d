// SPDX-License-Identifier: GPL-3.0-or-later
// File names as the game passes them around: UTF-8 strings, whose separator is the
// platform's. On Windows every name reaches the system in its wide form, so that a folder
// or file named in any script opens; elsewhere the bytes go through as they are.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace orr {

#ifdef _WIN32
constexpr char PathSeparator = '\\';
#else
constexpr char PathSeparator = '/';
#endif

// True for a character that ends a folder name in a path: '/' everywhere, '\' on Windows too.
bool IsPathSeparator(char c);
// Position of the last separator in `path`, std::string::npos when it has none.
std::size_t LastPathSeparator(const std::string& path);
// `path` written with the platform's separator: on Windows every '/' becomes '\', so that
// a path joined from a folder and a relative name reads as one to a player (in the log);
// elsewhere it is returned as it is.
std::string NativeSeparators(std::string path);

// The path a UTF-8 name stands for, and back. A name that is not valid UTF-8 fails on
// Windows as a missing file does; elsewhere it is used as given.
std::filesystem::path PathFromUtf8(const std::string& name);
std::string Utf8FromPath(const std::filesystem::path& path);

// fopen for a UTF-8 name; always add "b" to the mode for a data file.
std::FILE* OpenFile(const std::string& name, const char* mode);

// A program's arguments in UTF-8. On Windows the C runtime's argv holds the system code
// page's bytes, which lose every character outside it: the arguments are taken again from
// the wide command line. Call once at the top of main; argv keeps pointing at storage that
// lives to the end of the program.
void UseUtf8Arguments(int& argc, char**& argv);

// Standard input and output carry bytes as they are: Windows' C runtime would otherwise
// write every LF as CR LF and stop reading at a 0x1A byte. A tool calls it at the top of
// main, so that its output is the same bytes on every platform.
void UseBinaryStandardStreams();

#ifdef _WIN32
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
#endif

}  // namespace orr
