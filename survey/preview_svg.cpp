#include "survey/preview_svg.h"

#include <charconv>
#include <map>

#include "platform/output_file.h"
#include "platform/utf8.h"

namespace dorvane {
namespace {

void Append(std::string& out, std::int64_t value) {
  char buffer[24];
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

void AppendColour(std::string& out, PreviewColour colour) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '#';
  for (int shift = 20; shift >= 0; shift -= 4) out += kHex[(colour >> shift) & 0xF];
}

// Text that XML 1.0 accepts: a lone surrogate or a control character (a file
// name may hold either) becomes U+FFFD.
std::string XmlText(std::u16string_view text) {
  std::u16string clean;
  clean.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      clean += unit;
      clean += text[++i];
    } else if ((unit < 0x20 && unit != u'\t') || (unit >= 0xD800 && unit < 0xE000) ||
               unit == 0xFFFE || unit == 0xFFFF) {
      clean += u'\xFFFD';
    } else {
      clean += unit;
    }
  }
  std::string out;
  for (char c : Utf16ToUtf8(clean)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void Rect(std::string& out, std::int32_t left, std::int32_t top, std::int32_t right,
          std::int32_t bottom, PreviewColour colour) {
  out += "<rect x=\"";
  Append(out, left);
  out += "\" y=\"";
  Append(out, top);
  out += "\" width=\"";
  Append(out, right - left);
  out += "\" height=\"";
  Append(out, bottom - top);
  out += "\" fill=\"";
  AppendColour(out, colour);
  out += "\"/>\n";
}

// Lines are centred on the pixels they cover, as the painter draws them.
void Polyline(std::string& out, const PreviewLayout& layout, const PreviewItem& item) {
  out += "<polyline fill=\"none\" stroke-linecap=\"square\" stroke=\"";
  AppendColour(out, item.colour);
  out += "\" stroke-width=\"";
  Append(out, item.width);
  out += "\" points=\"";
  for (std::uint32_t i = 0; i < item.count; ++i) {
    const PreviewPoint& p = layout.points[item.first + i];
    if (i) out += ' ';
    Append(out, p.x);
    out += ".5,";
    Append(out, p.y);
    out += ".5";
  }
  out += "\"/>\n";
}

void Text(std::string& out, const PreviewLayout& layout, const PreviewItem& item) {
  static constexpr const char* kAnchor[] = {"start", "middle", "end"};
  out += "<text x=\"";
  Append(out, item.left);
  out += "\" y=\"";
  Append(out, item.top);
  out += "\" font-size=\"";
  Append(out, item.size);
  out += "\" fill=\"";
  AppendColour(out, item.colour);
  out += "\" text-anchor=\"";
  out += kAnchor[static_cast<int>(item.align)];
  out += "\">";
  out += XmlText(layout.texts[item.first]);
  out += "</text>\n";
}

// Binned cells never overlap: one path a colour, neighbouring cells of a row
// joined. Marks of single data may overlap, so they keep their order.
void Marks(std::string& out, const PreviewLayout& layout) {
  out += "<g shape-rendering=\"crispEdges\">\n";
  if (!layout.binned) {
    for (const PreviewMark& mark : layout.marks)
      Rect(out, mark.left, mark.top, mark.right, mark.bottom, mark.colour);
  } else {
    std::map<PreviewColour, std::string> paths;
    const auto& marks = layout.marks;
    for (std::size_t i = 0; i < marks.size();) {
      std::size_t end = i + 1;
      while (end < marks.size() && marks[end].colour == marks[i].colour &&
             marks[end].top == marks[i].top && marks[end].bottom == marks[i].bottom &&
             marks[end].left == marks[end - 1].right)
        ++end;
      std::string& d = paths[marks[i].colour];
      d += 'M';
      Append(d, marks[i].left);
      d += ' ';
      Append(d, marks[i].top);
      d += 'h';
      Append(d, marks[end - 1].right - marks[i].left);
      d += 'v';
      Append(d, marks[i].bottom - marks[i].top);
      d += 'h';
      Append(d, marks[i].left - marks[end - 1].right);
      d += 'z';
      i = end;
    }
    for (const auto& [colour, d] : paths) {
      out += "<path fill=\"";
      AppendColour(out, colour);
      out += "\" d=\"";
      out += d;
      out += "\"/>\n";
    }
  }
  out += "</g>\n";
}

}  // namespace

std::string PreviewSvg(const PreviewLayout& layout) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
  Append(out, layout.width);
  out += "\" height=\"";
  Append(out, layout.height);
  out += "\" viewBox=\"0 0 ";
  Append(out, layout.width);
  out += ' ';
  Append(out, layout.height);
  out += "\" font-family=\"sans-serif\">\n";
  for (const PreviewItem& item : layout.items) {
    switch (item.kind) {
      case PreviewItem::Kind::kRect:
        Rect(out, item.left, item.top, item.right, item.bottom, item.colour);
        break;
      case PreviewItem::Kind::kPolyline:
        Polyline(out, layout, item);
        break;
      case PreviewItem::Kind::kText:
        Text(out, layout, item);
        break;
      case PreviewItem::Kind::kData:
        Marks(out, layout);
        break;
    }
  }
  out += "</svg>\n";
  return out;
}

bool WritePreviewSvg(const PreviewData& data, PreviewColouring colouring, std::u16string_view path,
                     SystemError& error) {
  const std::string svg = PreviewSvg(LayOutPreview(data, {kSvgWidth, kSvgHeight, colouring}));
  OutputFile file;
  const bool written =
      file.Begin(path) &&
      file.Append({reinterpret_cast<const std::uint8_t*>(svg.data()), svg.size()}) && file.Commit();
  error = written ? SystemError{} : file.error();
  return written;
}

}  // namespace dorvane
