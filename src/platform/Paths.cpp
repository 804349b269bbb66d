// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Paths.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>
#endif

namespace orr {

bool IsPathSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

std::size_t LastPathSeparator(const std::string& path) {
#ifdef _WIN32
  return path.find_last_of("/\\");
#else
  return path.find_last_of('/');
#endif
}

std::string NativeSeparators(std::string path) {
#ifdef _WIN32
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
#endif
  return path;
}

#ifdef _WIN32

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  // Not UTF-8: a name no file has (U+FFFD), so that opening it fails as a missing file.
  if (n <= 0) return L"\uFFFD";
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), n);
  return wide;
}

std::string Utf8FromWide(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::filesystem::path PathFromUtf8(const std::string& name) {
  return std::filesystem::path(WideFromUtf8(name));
}
std::string Utf8FromPath(const std::filesystem::path& path) { return Utf8FromWide(path.wstring()); }

std::FILE* OpenFile(const std::string& name, const char* mode) {
  return _wfopen(WideFromUtf8(name).c_str(), WideFromUtf8(mode).c_str());
}

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void UseUtf8Arguments(int& argc, char**& argv) {
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return;
  texts.clear();
  for (int i = 0; i < count; ++i) texts.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  pointers.clear();
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  argc = count;
  argv = pointers.data();
}

#else

std::filesystem::path PathFromUtf8(const std::string& name) { return std::filesystem::path(name); }
std::string Utf8FromPath(const std::filesystem::path& path) { return path.string(); }
std::FILE* OpenFile(const std::string& name, const char* mode) { return std::fopen(name.c_str(), mode); }
void UseUtf8Arguments(int&, char**&) {}
void UseBinaryStandardStreams() {}

#endif

}  // namespace orr
