// Accessors for the built-in artwork. The byte arrays come from art_data.inc,
// which tools/artgen writes; see art.h for formats and cell layouts.
#include "ui/resources/art.h"

namespace sorvix::ui::art {

namespace {
#include "ui/resources/art_data.inc"
}  // namespace

std::span<const unsigned char> SkinStrip() { return kSkinStrip; }
std::span<const unsigned char> OptionGlyphStrip() { return kOptionGlyphStrip; }
std::span<const unsigned char> MessageBoxBackground() { return kMessageBoxBackground; }
std::span<const unsigned char> MessageBoxIcons() { return kMessageBoxIcons; }
std::span<const unsigned char> ImageButtonSkin() { return kImageButtonSkin; }
std::span<const unsigned char> MenuCheck() { return kMenuCheck; }
std::span<const unsigned char> AppIcon16() { return kAppIcon16; }
std::span<const unsigned char> AppIcon32() { return kAppIcon32; }
std::span<const unsigned char> AppIconFile() { return kAppIconFile; }
std::span<const unsigned char> LoadingGif() { return kLoadingGif; }

}  // namespace sorvix::ui::art
