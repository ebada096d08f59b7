#pragma once
// The picture file of get_image_element_bytes.

#include <QImage>

#include <string>

namespace page {

// 24-bit bitmap file: "BM", file size (54 + pixel bytes), 4 reserved zero bytes, pixel
// offset 54, a 40-byte information header (width, height > 0 for bottom-up rows, 1 plane,
// 24 bits, no compression, pixel byte count, the remaining 16 bytes zero), then the rows
// bottom-up, BGR, each padded to 4 bytes. Empty for a null image.
std::string bitmap_file(const QImage& image);

// Format 0 and 1: bitmap_file; 2 JPEG, 3 GIF, 4 TIFF, 5 PNG through the image codec.
// Empty when the codec has no writer for the format (this Qt has none for GIF) or the
// format is unknown.
std::string encode_picture(const QImage& image, int format);

}  // namespace page
