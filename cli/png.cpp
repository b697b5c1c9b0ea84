// PNG files of rendered pictures: 8-bit RGB, every row filtered by its left neighbour
// ("Sub"), compressed by zlib at a fixed level, so the same picture always gives the same
// bytes.
#include "cli.h"

#include <cstdio>
#include <cstring>
#include <zlib.h>

static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

enum
{
    PNG_COMPRESSION_LEVEL = 6,
    PNG_FILTER_SUB = 1,
    PNG_CHUNK_OVERHEAD = 12, // length, type and CRC around the data
    PNG_HEADER_SIZE = 13,
};

static void PutBigEndian(uint8_t* out, uint32_t value)
{
    out[0] = uint8_t(value >> 24);
    out[1] = uint8_t(value >> 16);
    out[2] = uint8_t(value >> 8);
    out[3] = uint8_t(value);
}

// Writes one chunk at out (data may already stand at out + 8); returns its whole size.
static size_t PutChunk(uint8_t* out, const char type[4], const uint8_t* data, uint32_t size)
{
    PutBigEndian(out, size);
    std::memcpy(out + 4, type, 4);
    if (size && data != out + 8)
        std::memmove(out + 8, data, size);
    uLong crc = crc32(0, out + 4, 4 + size);
    PutBigEndian(out + 8 + size, uint32_t(crc));
    return PNG_CHUNK_OVERHEAD + size_t(size);
}

// The rows as PNG filters them: a filter byte, then each byte minus the one a pixel before.
static uint8_t* FilterRows(const RenderImage* image, size_t* size)
{
    size_t stride = size_t(image->width) * 3;
    *size = (stride + 1) * image->height;
    uint8_t* rows = AllocateArrayOf<uint8_t>(*size);
    for (uint32_t y = 0; rows && y < image->height; ++y)
    {
        const uint8_t* in = image->pixels + y * stride;
        uint8_t* out = rows + y * (stride + 1);
        out[0] = PNG_FILTER_SUB;
        for (size_t i = 0; i < stride; ++i)
            out[1 + i] = uint8_t(in[i] - (i >= 3 ? in[i - 3] : 0));
    }
    return rows;
}

static size_t PutHeader(uint8_t* out, const RenderImage* image)
{
    uint8_t header[PNG_HEADER_SIZE] = {0};
    PutBigEndian(header, image->width);
    PutBigEndian(header + 4, image->height);
    header[8] = 8; // bits per channel
    header[9] = 2; // RGB; compression, filter method and interlace stay 0
    return PutChunk(out, "IHDR", header, PNG_HEADER_SIZE);
}

bool EncodePng(const RenderImage* image, uint8_t** bytes, size_t* byteCount)
{
    *bytes = nullptr;
    size_t rawSize;
    uint8_t* raw = FilterRows(image, &rawSize);
    if (!raw)
        return false;
    uLong bound = compressBound(uLong(rawSize));
    size_t total = sizeof pngSignature + 3 * PNG_CHUNK_OVERHEAD + PNG_HEADER_SIZE + bound;
    uint8_t* out = AllocateArrayOf<uint8_t>(total);
    size_t at = sizeof pngSignature;
    uLongf packed = bound;
    if (out)
    {
        std::memcpy(out, pngSignature, sizeof pngSignature);
        at += PutHeader(out + at, image);
    }
    bool done =
        out && compress2(out + at + 8, &packed, raw, uLong(rawSize), PNG_COMPRESSION_LEVEL) == Z_OK;
    ReleaseArray(raw);
    if (!done)
    {
        ReleaseArray(out);
        return false;
    }
    at += PutChunk(out + at, "IDAT", out + at + 8, uint32_t(packed));
    at += PutChunk(out + at, "IEND", nullptr, 0);
    *bytes = out;
    *byteCount = at;
    return true;
}

bool WritePngFile(const RenderImage* image, const char* path)
{
    uint8_t* bytes;
    size_t size;
    if (!EncodePng(image, &bytes, &size))
        return false;
    FILE* file = std::fopen(path, "wb");
    bool written = file && std::fwrite(bytes, 1, size, file) == size;
    if (file && std::fclose(file) != 0)
        written = false;
    ReleaseArray(bytes);
    if (file && !written)
        std::remove(path); // a partial picture is no picture
    return written;
}
