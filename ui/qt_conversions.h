// SPDX-License-Identifier: MIT
// Conversions between the job's plain values and Qt's: texts, file paths
// and $00BBGGRR colours.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace drumplot {

inline QString toQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string toStdString(const QString& text) {
  return text.toStdString();
}

inline std::filesystem::path toPath(const QString& file) {
  return std::filesystem::path(file.toStdString());
}

// A message as the window shows it: a carriage return breaks the line.
inline QString displayText(const QString& text) {
  QString shown = text;
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

// Colours are kept as $00BBGGRR: red in the low byte.
inline QColor toQColor(uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

inline uint32_t toBgr(const QColor& color) {
  return static_cast<uint32_t>(color.red()) | static_cast<uint32_t>(color.green()) << 8 |
         static_cast<uint32_t>(color.blue()) << 16;
}

}  // namespace drumplot
