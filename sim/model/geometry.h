#pragma once

#include <cstddef>

// Sizes of the Kestrin controller: its 240 x 64 LCD and its flash of 256 screens.
namespace kestrin {

inline constexpr int kWidth = 240;
inline constexpr int kHeight = 64;
inline constexpr int kPageHeight = 8;
inline constexpr int kPageCount = kHeight / kPageHeight;

// One screen: 8 pages of 240 data bytes, page 0 first, each page from column 0.
inline constexpr std::size_t kScreenBytes = std::size_t{kWidth} * kPageCount;
inline constexpr int kScreenCount = 256;

inline constexpr std::size_t kFlashSize = kScreenBytes * kScreenCount;
inline constexpr std::size_t kFlashBlockSize = 240;
inline constexpr int kFlashBlockCount = static_cast<int>(kFlashSize / kFlashBlockSize);

// Screens 1 to 5 hold the four fonts that text is drawn with.
inline constexpr int kFirstFontScreen = 1;
inline constexpr int kFontScreenCount = 5;
inline constexpr std::size_t kFontAreaOffset = kScreenBytes * kFirstFontScreen;
inline constexpr std::size_t kFontAreaSize = kScreenBytes * kFontScreenCount;

} // namespace kestrin
