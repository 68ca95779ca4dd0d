#pragma once

#include <string>
#include <string_view>

#include "platform/system_error.h"
#include "survey/preview_layout.h"

namespace dorvane {

// The size of the picture a preview file gets.
inline constexpr std::int32_t kSvgWidth = 1200;
inline constexpr std::int32_t kSvgHeight = 720;

// `layout` as a standalone SVG 1.1 document: UTF-8 text, fonts by generic
// family, no scripts, nothing outside the file. Its size is bounded by the
// picture's, however many data the layout binned.
std::string PreviewSvg(const PreviewLayout& layout);

// Lays out `data` at the SVG size and writes it to `path`, replacing the file
// only once it is complete. On failure returns false with `error` set.
bool WritePreviewSvg(const PreviewData& data, PreviewColouring colouring, std::u16string_view path,
                     SystemError& error);

}  // namespace dorvane
