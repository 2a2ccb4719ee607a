// Colour file text and text colour (see appearance.h).
#include "app/core/appearance.h"

#include <algorithm>

namespace sorvix {
namespace {

constexpr std::string_view kRedEnd = "\xBA\xEC";     // 红
constexpr std::string_view kGreenEnd = "\xC2\xCC";   // 绿
constexpr std::string_view kBlueEnd = "\xC0\xB6";    // 蓝

}  // namespace

ColourSettings ParseColourSettings(std::string_view fileText) {
    ColourSettings s;
    s.red = TextBetween(fileText, kRedLabel, kRedEnd, 1, true);
    s.green = TextBetween(fileText, kGreenLabel, kGreenEnd, 1, true);
    s.blue = TextBetween(fileText, kBlueLabel, kBlueEnd, 1, true);
    return s;
}

Text ColourFileText(const ColourSettings& settings) {
    Text out;
    out += kRedLabel;
    out += settings.red;
    out += kRedEnd;
    out += " ";
    out += kGreenLabel;
    out += settings.green;
    out += kGreenEnd;
    out += " ";
    out += kBlueLabel;
    out += settings.blue;
    out += kBlueEnd;
    return out;
}

int ColourComponent(std::string_view text) {
    return std::clamp(ToInt(text), 0, 255);
}

uint32_t TextColour(const ColourSettings& settings) {
    return static_cast<uint32_t>(ColourComponent(settings.red)) |
           static_cast<uint32_t>(ColourComponent(settings.green)) << 8 |
           static_cast<uint32_t>(ColourComponent(settings.blue)) << 16;
}

}  // namespace sorvix
