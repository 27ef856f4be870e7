#pragma once

#include <string>
#include <string_view>

namespace orvane {

// UTF-8 of a wide string (UTF-16 where wchar_t has 16 bits, UTF-32 where it has 32). Unpaired
// surrogates and values beyond U+10FFFF become U+FFFD.
std::string WideToUtf8(std::wstring_view text);

}  // namespace orvane
