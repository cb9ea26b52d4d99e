// What a linked TIFF file's first directory says, kept for the picture by its path.
#pragma once

struct LinkedFileFacts {
    char path[259];  // a host's path array and its NUL
    int ok;          // 0 when the file is no TIFF or ends early
    int imageType;
    int bitsPerSample;
    int width;
    int height;
};
