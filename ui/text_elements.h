// Kelvane text-bearing elements: the push button (UiButton), the check option
// with its glyph strip (UiOption), the skinned image button of the message box
// (UiImageButton), their common base UiTextElement, and the text label
// (UiLabel) whose Caption is how the application writes its status texts.
//
// Guarantees: a text element paints one of its five states from the state
// colour tables; entering, leaving and losing focus cross-fade in 4 steps of
// 60 ms, pressing and releasing switch at once. An equal caption set on a
// label changes nothing. Setting a caption or a check mark from another
// thread is carried to the window's thread.
// Covered by tests/ui/text_elements_test.cpp.
#pragma once

#include "ui/element.h"

namespace sorvix::ui {

// The painted states of a text element (State(), the hooks' state).
enum : int {
    kStateDisabled = -1,
    kStateNormal = 0,
    kStateHot = 1,
    kStatePressed = 2,
    kStateFocused = 3,
};

// TextOptions::iconPosition.
enum : int { kIconLeft = 0, kIconAbove = 1 };

// Text alignment across (LabelOptions::horizontalAlign) and down
// (verticalAlign) the element.
enum : int { kAlignNear = 0, kAlignCentre = 1, kAlignFar = 2 };

// LabelOptions::backgroundMode without a background.
constexpr int kNoBackground = -1;

struct TextOptions {
    Colour colour = 0;
    int alpha = 210;
    Text fontFamily;                 // empty = the library's default font
    float size = 12.0f;
    int style = 0;
    std::string iconBytes;           // encoded picture drawn beside the text
    int iconPosition = kIconLeft;
    int iconSpacing = 4;
    int effect = 0;
    std::optional<Argb> effectColour;
    bool autoColour = false;
    std::optional<bool> roundCorners;   // default: the host's setting
    bool visible = true;
    std::optional<bool> focusable;
    uintptr_t cursor = 0;
};

class UiTextElement : public UiElement {
public:
    ~UiTextElement() override;
    ElementHandle Create(UiParent parent, const UiRect& rect, const Text& caption,
                         const TextOptions& options = {});
    Text Caption(std::optional<Text> set = {});
    Colour TextColour(std::optional<Colour> set = {}, std::optional<int> alpha = {});
    int TextAlpha() const { return textAlpha_; }
    int State() const { return state_; }
    bool RoundCorners() const { return roundCorners_; }

protected:
    virtual int CustomBackgroundHook(PaintContext&, int /*state*/) { return 0; }
    virtual int ContentHook(PaintContext&, int /*state*/, Gdiplus::RectF& /*textRect*/,
                            Gdiplus::RectF& /*iconRect*/) {
        return 0;
    }
    virtual LRESULT ClassHook(UINT, WPARAM, LPARAM) { return kNotHandled; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PaintState(int state);
    void ApplyCaption();

    std::wstring caption_;
    Gdiplus::Font* font_ = nullptr;
    std::unique_ptr<Gdiplus::StringFormat> format_;
    Colour textColour_ = 0;
    int textAlpha_ = 210;
    int effect_ = 0;
    std::optional<Argb> effectColour_;
    std::string iconBytes_;
    int iconPosition_ = kIconLeft;
    int iconSpacing_ = 4;
    bool autoColour_ = false;
    bool roundCorners_ = true;
    int state_ = 0;
};

class UiButton : public UiTextElement {};

class UiOption : public UiTextElement {
public:
    bool Checked(std::optional<bool> set = {});

protected:
    int CustomBackgroundHook(PaintContext&, int) override { return 1; }
    int ContentHook(PaintContext& ctx, int state, Gdiplus::RectF& textRect,
                    Gdiplus::RectF& iconRect) override;
    LRESULT ClassHook(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool checked_ = false;
};

class UiImageButton : public UiTextElement {
public:
    int GlowPhase() const { return glowPhase_; }

protected:
    int CustomBackgroundHook(PaintContext& ctx, int state) override;
    LRESULT ClassHook(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int glowPhase_ = 0;
};

// Whether the host background under an element is dark: nine sample points
// of the background picture, or the theme colour without one.
bool BackgroundIsDark(UiElement* element);

// The shared option glyph strip (68 x 17: unchecked, unchecked hot, checked,
// checked hot), loaded when the first option is created.
Gdiplus::Bitmap* OptionGlyphStrip();

struct LabelOptions {
    Colour colour = 0;
    int alpha = 210;
    Text fontFamily;
    float size = 12.0f;
    int style = 0;
    int effect = 0;
    std::optional<Argb> effectColour;
    bool autoColour = false;
    int64_t borderStyle = 0;
    int backgroundMode = kNoBackground;   // else a FillGradient mode
    Argb background1 = 0, background2 = 0;
    int horizontalAlign = kAlignNear;
    int verticalAlign = kAlignCentre;
    bool wordWrap = false;
    bool visible = true;
    bool focusable = false;
};

class UiLabel : public UiElement {
public:
    ~UiLabel() override;
    ElementHandle Create(UiParent parent, const UiRect& rect, const Text& caption,
                         const LabelOptions& options = {});
    // With set: an equal text (without animate) changes nothing; otherwise the
    // text is stored and the label repaints, cross-fading when animate is set.
    Text Caption(std::optional<Text> set = {}, bool animate = false, int transition = 0,
                 int steps = 5, int interval = 60);
    Colour TextColour(std::optional<Colour> set = {}, std::optional<int> alpha = {});
    // Automatic text colour: white on a dark, black on a light background, at
    // the text colour's alpha. Set repaints; answers the flag.
    bool AutoColour(std::optional<bool> set = {});
    // The text effect's colour (0x00BBGGRR with its alpha, kept as ToArgb
    // makes it); nothing when the effect picks its colour by the text colour.
    // Set repaints; answers the stored colour.
    std::optional<Argb> EffectColour(std::optional<Colour> set = {}, int alpha = 255);
    int LayoutCount() const { return layoutCount_; }
    int PaintCount() const { return paintCount_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Layout();
    void Paint();

private:
    std::wstring caption_;
    Text captionGbk_;
    Gdiplus::Font* font_ = nullptr;
    std::unique_ptr<Gdiplus::StringFormat> format_;
    LabelOptions opt_;
    float lineHeight_ = 12.0f;
    bool fadeRequest_ = false;
    int fadeRequestSteps_ = 0, fadeRequestInterval_ = 0;
    int layoutCount_ = 0;
    int paintCount_ = 0;
};

}  // namespace sorvix::ui
