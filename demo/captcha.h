#pragma once
// The captcha picture: digits drawn with a small bitmap font, written as a PNG.

#include <cstdint>
#include <random>
#include <string>

namespace demo {

// A PNG (8-bit RGB, stored deflate blocks) showing code (digits only; other
// characters are left blank), with noise from rng.
std::string captcha_png(const std::string& code, std::mt19937& rng);

}  // namespace demo
