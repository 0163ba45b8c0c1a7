#pragma once

#include <string>
#include <string_view>

// The texts the controller sends. Kept short where the console reads them once after
// 50 ms, so that they arrive whole even at 2400 baud (12 characters in 50 ms).
namespace kestrin::reply {

// Answer to 49 44: "64," then the contrast in decimal and "!" (the part the console reads
// first), then the model name, which the console discards.
inline std::string detection(int contrast)
{
    return "64," + std::to_string(contrast) + "!KESTRIN 240x64";
}

// Answer to 28 00.
inline constexpr std::string_view kIdentifier = "KT24064!";

// Sent before each block of a flash write.
inline constexpr char kFlashReady = '>';

inline constexpr std::string_view kCalibrationPrompt = "Touch the cross";

} // namespace kestrin::reply
