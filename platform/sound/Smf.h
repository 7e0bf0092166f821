#pragma once
// Standard MIDI Files of format 0 or 1, merged into one format-0 image that the stream player
// walks: "MThd" 6 0 1 division, "MTrk" length, then every event with its delta and its full
// status byte (no running status), ending with FF 2F 00.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/system/Types.h"

constexpr std::size_t kSmfImageHeader = 22; // offset of the first event in an image
constexpr u32 kVlqMax = 0x0FFFFFFF;

// A variable-length number of at most 4 bytes; false when it runs past end or is longer.
bool ReadVlq(const u8* bytes, std::size_t end, std::size_t& pos, u32& value);
// Appends a number up to kVlqMax; false (and nothing appended) for a larger one.
bool WriteVlq(std::vector<u8>& out, u32 value);

// Checks and converts a whole file. Every refusal is reported with the file name; the image
// is only touched on success.
bool ConvertSmf(const u8* bytes, std::size_t size, const std::string& name, std::vector<u8>& image,
                double& seconds);

// The division stored in an image (ticks per quarter note).
u16 SmfImageDivision(const std::vector<u8>& image);
