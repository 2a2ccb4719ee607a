// Kelvane picture element and image helpers: frame counting and delays of
// multi-frame pictures (GIF), frame selection, icon to 32-bit bitmap keeping
// the icon's alpha, and rounded window regions.
//
// Guarantees: a still picture never starts a timer; a multi-frame picture
// keeps each frame on screen for the delay of the frame that follows it
// (delays of 0 become 10 hundredths when asked) and loops while playing; bytes
// that do not decode leave an element that paints nothing.
// Covered by tests/ui/picture_test.cpp.
#pragma once

#include "ui/element.h"

#include <vector>

namespace sorvix::ui {

int ImageFrameCount(Gdiplus::Image* image);
bool ImageFrameDelays(Gdiplus::Image* image, std::vector<int>& delays);
bool SelectImageFrame(Gdiplus::Image* image, int index);
Gdiplus::Bitmap* IconToBitmap(HICON icon);
void SetRoundWindowRegion(HWND window, int width, int height, int inset, int corner);

// How a picture element fits its image (PictureOptions::sizeMode).
enum : int {
    kPictureNatural = 1,      // natural size at the element's top-left corner
    kPictureStretched = 2,    // stretched over the element
    kPictureSourceRect = 3,   // the sourceRect part of the image, stretched over the element
};

struct PictureOptions {
    bool playing = true;
    Argb backColour = 0;
    int sizeMode = kPictureNatural;
    UiRect sourceRect;
    bool replaceZeroDelays = true;
    bool visible = true;
};

class UiPicture : public UiElement {
public:
    ~UiPicture() override;
    ElementHandle Create(UiParent parent, const UiRect& rect, HICON icon,
                         const PictureOptions& options = {});
    ElementHandle CreateFromBytes(UiParent parent, const UiRect& rect, const std::string& bytes,
                                  const PictureOptions& options = {});
    void SetImage(const std::string& bytes, const PictureOptions& options);
    int CurrentFrame() const { return currentFrame_; }
    int FrameCount() const { return frameCount_; }
    const std::vector<int>& FrameDelays() const { return frameDelays_; }
    bool Playing(std::optional<bool> set = {});
    bool HasImage() const { return image_ != nullptr; }
    // Milliseconds of the timer started by the last paint; 0 when none runs.
    int LastTimerDelay() const { return lastTimerDelay_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Paint();

private:
    void FreeImage();
    void TakeImage(Gdiplus::Image* image, const PictureOptions& options);

    std::string imageBytes_;
    Gdiplus::Image* image_ = nullptr;
    ImageSource source_;
    bool playing_ = false;
    int currentFrame_ = 0;
    int frameCount_ = 0;
    std::vector<int> frameDelays_;
    Argb backColour_ = 0;
    int sizeMode_ = kPictureNatural;
    UiRect sourceRect_;
    int playMarker_ = -1;
    int lastTimerDelay_ = 0;
};

}  // namespace sorvix::ui
