// The four preset memories: files of 80-byte records, of which only the
// first is used. A record holds the 20 slider positions of bands 0 to 19 as
// signed 32-bit little-endian integers (byte 0: band 0, byte 76: band 19).
// A file shorter than 80 bytes has no record; bytes after the first record
// are never touched.
//
// Every failure to open, read or write a memory file raises EInOutError
// with a message naming the file and the cause; nothing is written unless
// the whole record can be.
#pragma once

#include "app/BandPositions.h"
#include "platform/core/Exceptions.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace keb
{

constexpr std::size_t MemoryRecordSize = BandCount * 4;

// The folder of the memory files: $KEB_HOME when set, else
// $XDG_DATA_HOME/keb, else ~/.local/share/keb.
std::filesystem::path MemoryFolder();

// The file of memory 1 .. 4 in `folder`: F1.dat .. F4.dat.
std::filesystem::path MemoryFilePath(const std::filesystem::path& folder, int memory);

// Creates `folder` (and its parents) when it is missing.
void EnsureMemoryFolder(const std::filesystem::path& folder);

// Opens an existing file for reading and writing, or creates it empty; then
// closes it. Raises when neither is possible.
void PrepareMemoryFile(const std::filesystem::path& file);

// Reads the first record; none when the file is shorter than one record.
// The caller checks that the file exists.
std::optional<TBandPositions> ReadMemoryRecord(const std::filesystem::path& file);

// Writes `record` as the first record, keeping every byte after it.
void WriteMemoryRecord(const std::filesystem::path& file, const TBandPositions& record);

// The record's bytes, and a record from exactly MemoryRecordSize bytes.
std::array<std::uint8_t, MemoryRecordSize> EncodeMemoryRecord(const TBandPositions& record);
TBandPositions DecodeMemoryRecord(const std::uint8_t* bytes);

} // namespace keb
