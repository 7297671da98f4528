// The four preset memories: files of 80-byte records, of which only the
// first is used. A record holds the 20 slider positions of bands 0 to 19 as
// signed 32-bit little-endian integers (byte 0: band 0, byte 76: band 19).
// A file shorter than 80 bytes has no record; bytes after the first record
// are never touched.
//
// Loading and preparing only read, so a memory made read-only (to keep it
// from being overwritten) still loads; saving into it fails. Positions read
// from a file are clamped silently to -60 .. +12 dB, as the sliders clamp
// them. Only regular files (or links to them) are memory files: a folder,
// pipe or device in a memory's place is refused without waiting on it.
//
// Every failure to open, read or write a memory file raises EInOutError
// with a message naming the file and the cause. Main thread only (the
// messages come from strerror); the functions keep no state.
#pragma once

#include "platform/core/Exceptions.h"
#include "settings/BandPositions.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace keb
{

constexpr std::size_t MemoryRecordBytes = BandCount * 4;

// The folder of the memory files: $KEB_HOME when set, else
// $XDG_DATA_HOME/keb, else ~/.local/share/keb.
std::filesystem::path MemoryFolder();

// The file of memory 1 .. 4 in `folder`: F1.dat .. F4.dat.
std::filesystem::path MemoryFilePath(const std::filesystem::path& folder, int memory);

// Creates `folder` (and its parents) when it is missing.
void EnsureMemoryFolder(const std::filesystem::path& folder);

// Leaves an existing memory file as it is, or creates it empty. Raises when
// the file can neither be read nor created.
void PrepareMemoryFile(const std::filesystem::path& file);

// Reads the first record, clamped; none when the file is shorter than one
// record. The caller checks that the file exists.
std::optional<TBandPositions> ReadMemoryRecord(const std::filesystem::path& file);

// The first record of a memory file's bytes, clamped; none when there are
// fewer than MemoryRecordBytes bytes. Any bytes after the record are ignored.
std::optional<TBandPositions> ParseMemoryRecord(std::span<const std::uint8_t> bytes);

// Writes `record` as the first record, keeping every byte after it; creates
// the file when it is missing (its folder must exist). The positions are
// stored as they are.
void WriteMemoryRecord(const std::filesystem::path& file, const TBandPositions& record);

// The record's bytes, and the raw (unclamped) record from exactly
// MemoryRecordBytes bytes.
std::array<std::uint8_t, MemoryRecordBytes> EncodeMemoryRecord(const TBandPositions& record);
TBandPositions DecodeMemoryRecord(const std::uint8_t* bytes);

} // namespace keb
