// Clipboard text for the library and the application.
//
// Text is exchanged as CF_UNICODETEXT and converted with code page 936 in
// both directions, so Chinese text survives copy and paste whatever the
// system's ANSI code page is (the system's own CF_TEXT conversion would use
// that code page and turn the text into question marks elsewhere). Opening
// the clipboard is retried briefly, since another program may hold it open
// for a moment. Covered by tests/ui/edit/edit_test.cpp.
#pragma once

#include "ui/base.h"

namespace sorvix::ui {

// Replaces the clipboard's content with the GBK text; false when the
// clipboard could not be opened or written. An empty text empties it.
bool SetClipboardText(HWND owner, std::string_view gbk);
// The clipboard's text as GBK; empty when there is none.
Text ClipboardText(HWND owner);
// Whether the clipboard holds text (without opening it).
bool ClipboardHasText();

}  // namespace sorvix::ui
