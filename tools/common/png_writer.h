// Saves a 24-bit top-down RGB picture as a PNG file. The tools use it to save
// what a window painted; it stores the image uncompressed inside the deflate
// stream, which every PNG reader accepts.
#pragma once

#include <cstdint>

// `rgb` holds height rows of width * 3 bytes (red, green, blue). False when the
// file cannot be written.
bool WritePng(const char* path, const uint8_t* rgb, int width, int height);
