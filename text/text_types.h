// The text model's two string kinds, for headers that pass texts along
// without using the routines of text/text.h.
//
// Text is GBK (code page 936) bytes without zero bytes; positions and lengths
// count bytes. Bytes are explicit-length and may hold zeros.
#pragma once

#include <string>

namespace sorvix {

using Text = std::string;    // GBK bytes, never holds a zero byte
using Bytes = std::string;   // explicit-length bytes, may hold zero bytes

}  // namespace sorvix
