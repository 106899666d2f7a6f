// The face of every window of both programs: a fixed-pitch Japanese font
// from Debian, standing in for the design font so that widths of 7 pixels
// per half-width character hold.
#pragma once

inline constexpr const char* kJapaneseFontFamily = "Noto Sans Mono CJK JP";
inline constexpr const char* kDesignFontFamily = "ＭＳ ゴシック";
