// Sample pictures the demo host makes for itself, written through WIC.
#pragma once

#include <string>

enum class SampleFormat { Jpeg, Png, Bmp, Gif, Tiff };

// Writes a width x height picture (a colourful scene, or a grey one) in the
// given format. Returns false when the encoder fails.
bool WriteSamplePicture(const std::string& path, SampleFormat format, int width, int height, bool grey,
                        int seed);
