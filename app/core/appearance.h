// The user's appearance choices as the two files beside the executable hold
// them: the colour file "参数.txt" (GBK text 红色：R红 绿色：G绿 蓝色：B蓝, each value
// as the user typed it) and the picture file "bj.jpg" (the picture's bytes,
// unchanged). This is the portable part: parsing and writing the colour text,
// turning it into the elements' text colour, and the two file names.
//
// Values are kept as typed; only when they are combined into a colour are
// they read as integers and clamped to 0..255, so a large red never spills
// into green and blue. Covered by tests/app/appearance_test.cpp.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace sorvix {

inline constexpr std::string_view kRedLabel = "\xBA\xEC\xC9\xAB\xA3\xBA";     // 红色：
inline constexpr std::string_view kGreenLabel = "\xC2\xCC\xC9\xAB\xA3\xBA";   // 绿色：
inline constexpr std::string_view kBlueLabel = "\xC0\xB6\xC9\xAB\xA3\xBA";    // 蓝色：

// File names in the program's directory, as UTF-16 for the platform's wide
// file API and as UTF-8 for portable code.
inline constexpr std::wstring_view kColourFileName = L"\u53C2\u6570.txt";   // 参数.txt
inline constexpr std::wstring_view kPictureFileName = L"bj.jpg";
inline constexpr std::string_view kColourFileNameUtf8 = "\xE5\x8F\x82\xE6\x95\xB0.txt";

struct ColourSettings {
    Text red, green, blue;   // as typed; empty when the file has none
};

// The three texts between each label and the first character of that label
// after it; a missing label gives an empty text. No conversion: the file is GBK.
ColourSettings ParseColourSettings(std::string_view fileText);

// 红色：R红 绿色：G绿 蓝色：B蓝 with the texts as given.
Text ColourFileText(const ColourSettings& settings);

// A value text read as an integer (no number: 0) and clamped to 0..255.
int ColourComponent(std::string_view text);

// red + green * 256 + blue * 65536 (0x00BBGGRR) of the clamped components.
uint32_t TextColour(const ColourSettings& settings);

}  // namespace sorvix
