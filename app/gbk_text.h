// The project file's "ANSI" names: GBK bytes outside, UTF-8 inside.
#pragma once

#include <cstddef>
#include <string>

// UTF-8 to GBK, at most maxBytes bytes, never cut inside a character.
// Characters GBK cannot hold and malformed UTF-8 become '?'.
std::string Utf8ToGbk(const std::string& text, std::size_t maxBytes);
// GBK to UTF-8; stops at the first zero byte. Malformed bytes become '?'.
std::string GbkToUtf8(const char* data, std::size_t size);
