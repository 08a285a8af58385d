// Tiny BMP files built in memory, and whole-file reading and writing for tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

using bytes = std::vector<uint8_t>;

// A 24-bit BMP with a 54-byte header whose raster (and `trailing` bytes after it) hold `fill`.
bytes bmp_file(int32_t width, int32_t height, uint8_t fill, uint32_t trailing = 0);

// The same with every byte from offset 54 on drawn from a fixed pseudo-random sequence.
bytes bmp_noise(int32_t width, int32_t height, uint32_t seed, uint32_t trailing = 0);

void put_le32(bytes& file, size_t offset, uint32_t value);
void put_le16(bytes& file, size_t offset, uint16_t value);

void write_file(const std::filesystem::path& path, const bytes& content);
bytes read_file(const std::filesystem::path& path);
