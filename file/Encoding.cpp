#include "file/Encoding.h"

const char* EncodingName(std::int32_t encoding)
{
    switch (encoding) {
    case EncodingAnsi: return "ANSI / ASCII";
    case EncodingUtf16LE: return "Unicode UTF 16 Little Endian";
    case EncodingUtf16BE: return "Unicode UTF 16 Big Endian";
    case EncodingUtf32LE: return "Unicode UTF 32 Little Endian";
    case EncodingUtf32BE: return "Unicode UTF 32 Big Endian";
    case EncodingUtf8: return "Unicode UTF 8";
    default: return "Unknown";
    }
}

unsigned EncodingUnitSize(std::int32_t encoding)
{
    switch (encoding) {
    case EncodingAnsi:
    case EncodingUtf8: return 1;
    case EncodingUtf16LE:
    case EncodingUtf16BE: return 2;
    case EncodingUtf32LE:
    case EncodingUtf32BE: return 4;
    default: return 0;
    }
}
