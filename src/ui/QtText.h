#pragma once

#include <string_view>

#include <QString>

namespace orvane {

// The program's UTF-8 texts (captions, messages, titles) as Qt strings.
inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace orvane
