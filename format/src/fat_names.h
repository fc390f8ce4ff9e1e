// Names in FAT directories, shared by the volume reader and writer: the 32-byte entry layout,
// the short-name checksum that ties long-name entries to their 8.3 entry, and the UTF-16 the
// long names are stored in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace fleet::format::fat {

inline constexpr size_t kEntrySize = 32;
inline constexpr size_t kShortNameLength = 11;
inline constexpr size_t kLongNameCharsPerEntry = 13;
inline constexpr size_t kMaxLongNameLength = 255;  // UTF-16 units
inline constexpr uint8_t kLongNameLast = 0x40;     // on the first stored entry of a long name
inline constexpr uint8_t kLongNameOrderMask = 0x1F;

inline constexpr uint8_t kAttrReadOnly = 0x01;
inline constexpr uint8_t kAttrHidden = 0x02;
inline constexpr uint8_t kAttrSystem = 0x04;
inline constexpr uint8_t kAttrVolumeLabel = 0x08;
inline constexpr uint8_t kAttrDirectory = 0x10;
inline constexpr uint8_t kAttrArchive = 0x20;
inline constexpr uint8_t kAttrLongName = 0x0F;
inline constexpr uint8_t kAttrLongNameMask = 0x3F;

inline constexpr uint8_t kEntryFree = 0x00;  // this and all later entries are unused
inline constexpr uint8_t kEntryDeleted = 0xE5;
inline constexpr uint8_t kEntryKanjiE5 = 0x05;  // a first name byte of 0xE5, escaped

// Byte offsets inside a directory entry.
inline constexpr size_t kAttrOffset = 11;
inline constexpr size_t kClusterHighOffset = 20;
inline constexpr size_t kClusterLowOffset = 26;
inline constexpr size_t kSizeOffset = 28;
inline constexpr size_t kLongChecksumOffset = 13;
// Where the 13 UTF-16 units of a long-name entry lie, in name order.
inline constexpr size_t kLongNameCharOffsets[kLongNameCharsPerEntry] = {1,  3,  5,  7,  9,  14, 16,
                                                                        18, 20, 22, 24, 28, 30};

uint8_t short_name_checksum(const uint8_t* name11);
// Case flags some systems set instead of storing a long name for an all-lower-case 8.3 name.
inline constexpr size_t kCaseFlagsOffset = 12;
inline constexpr uint8_t kLowerCaseBase = 0x08;
inline constexpr uint8_t kLowerCaseExtension = 0x10;

// "NAME.EXT", or "NAME" without an extension; bytes outside ASCII become '?'. The parts the
// case flags mark come out in lower case.
std::string short_name_text(const uint8_t* name11, uint8_t case_flags = 0);
// nullopt for text that is not UTF-8.
std::optional<std::u16string> utf8_to_utf16(const std::string& text);
// Unpaired surrogates become U+FFFD.
std::string utf16_to_utf8(const std::u16string& text);
bool equal_ignoring_ascii_case(const std::string& a, const std::string& b);

}  // namespace fleet::format::fat
