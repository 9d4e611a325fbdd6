#pragma once
// Turning decoded RGBA pixels into the premultiplied BGRA that the drawing
// functions blend.
#include "Win32Prelude.h"

#include <cstddef>

namespace UiLib {

// Largest encoded image accepted from a file, a resource or the skin zip.
const DWORD kMaxEncodedImageBytes = 64u * 1024u * 1024u;

// Converts count RGBA pixels into premultiplied 0xAARRGGBB values. A pixel
// whose converted value equals mask becomes 0. Returns whether any pixel is
// not opaque (translucent or masked out).
bool PremultiplyPixels(const BYTE* rgba, DWORD* out, size_t count, DWORD mask);

}  // namespace UiLib
