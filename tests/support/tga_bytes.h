// Builds TGA files byte by byte for the reader's tests and the fuzzer's seeds.
#pragma once

#include <vector>

struct TgaHeader {
    int idLength = 0;
    int colorMapType = 0;
    int imageType = 2;
    int width = 1;
    int height = 1;
    int depth = 24;
    int descriptor = 0;
};

inline std::vector<unsigned char> TgaFile(const TgaHeader &h,
                                          const std::vector<unsigned char> &pixels) {
    std::vector<unsigned char> f(18, 0);
    f[0] = (unsigned char)h.idLength;
    f[1] = (unsigned char)h.colorMapType;
    f[2] = (unsigned char)h.imageType;
    f[12] = (unsigned char)(h.width & 0xff);
    f[13] = (unsigned char)(h.width >> 8);
    f[14] = (unsigned char)(h.height & 0xff);
    f[15] = (unsigned char)(h.height >> 8);
    f[16] = (unsigned char)h.depth;
    f[17] = (unsigned char)h.descriptor;
    for (int i = 0; i < h.idLength; i++)
        f.push_back((unsigned char)(0xA0 + i));
    f.insert(f.end(), pixels.begin(), pixels.end());
    return f;
}
