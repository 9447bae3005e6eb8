#pragma once
// printf-style formatting into std::string: the system's list and status texts are given as
// C format strings, and keeping them in that form keeps them recognisable.

#include <string>

std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// UTF-16LE code units (as stored by GPT, NTFS, exFAT) to UTF-8; stops at the first NUL.
/// Unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(const unsigned char* bytes, std::size_t unitCount);
/// One code point appended as UTF-8.
void appendUtf8(std::string& out, char32_t codePoint);
