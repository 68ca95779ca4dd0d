#include "survey/preview_layout.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace dorvane {
namespace {

constexpr std::int32_t kSmallText = 12;
constexpr std::int32_t kTitleText = 14;
constexpr std::int32_t kMarkSize = 5;  // a datum of its own
constexpr std::int32_t kCellSize = 3;  // a cell of binned data
// Below one datum per this many pixels of the plot each datum gets its mark.
constexpr std::int32_t kPixelsPerMark = 100;
constexpr std::int32_t kHitRadius = 4;

constexpr PreviewColour kInk = 0x202020;
constexpr PreviewColour kFrame = 0x606060;
constexpr PreviewColour kPlotBackground = 0xFFFFFF;
constexpr PreviewColour kSurfaceColour = 0x7A4A1E;
constexpr PreviewColour kHighlightColour = 0xFF8C8C;

// Findings that have a place along the profile, and how they are shown.
struct FindingStyle {
  const char* code;
  const char16_t* label;
  PreviewColour band;    // behind the data
  PreviewColour marker;  // along the top of the plot
};
constexpr std::array<FindingStyle, 3> kPlacedFindings = {{
    {"gap", u"间隙", 0xFFE8B0, 0xE08A00},
    {"same-place", u"重叠", 0xFFD0D0, 0xD02020},
    {"duplicate-disagree", u"重复不符", 0xE6D6FF, 0x7A3FD0},
}};
// Lines the plan view highlights.
bool HighlightedInPlan(const std::string& code) {
  return code == "spacing-mismatch" || code == "same-place";
}

std::int32_t TextWidth(std::u16string_view text, std::int32_t size) {
  double width = 0;
  for (char16_t unit : text) {
    if (unit >= 0xDC00 && unit < 0xE000) continue;  // second half of a pair
    width += unit >= 0x1100 ? size : size * 0.6;
  }
  return static_cast<std::int32_t>(std::ceil(width));
}

// Cuts `text` to `width` pixels with an ellipsis.
std::u16string FitText(std::u16string text, std::int32_t size, std::int32_t width) {
  if (TextWidth(text, size) <= width) return text;
  while (!text.empty() && TextWidth(text, size) + size > width) text.pop_back();
  if (!text.empty() && text.back() >= 0xD800 && text.back() < 0xDC00) text.pop_back();
  return text + u"…";
}

std::u16string FileName(const std::u16string& path) {
  const std::size_t slash = path.find_last_of(u"/\\");
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

std::u16string Number(std::uint64_t value) {
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::u16string(buffer, end);
}

// Three significant digits, for the colour bar.
std::u16string FormatValue(double value) {
  const std::int32_t magnitude = static_cast<std::int32_t>(std::floor(std::log10(value)));
  const std::int32_t decimals = std::clamp(2 - magnitude, 0, 6);
  const double unit = std::pow(10.0, 2 - magnitude);
  return FormatTick(std::round(value * unit) / unit, decimals);
}

PreviewColour Mix(PreviewColour a, PreviewColour b, double t) {
  auto channel = [&](int shift) {
    const double from = (a >> shift) & 0xFF, to = (b >> shift) & 0xFF;
    return static_cast<PreviewColour>(std::lround(from + (to - from) * t)) << shift;
  };
  return channel(16) | channel(8) | channel(0);
}

struct Range {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  void Add(double v) {
    if (!std::isfinite(v)) return;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  bool empty() const { return !(low <= high); }
  // Widened by `fraction` of its span at each end; a point or nothing gets a
  // span of its own.
  Range Padded(double fraction) const {
    if (empty()) return Range{0, 1};
    const double span = high - low;
    if (span <= std::max(1e-9, std::abs(high) * 1e-9)) return Range{low - 1, high + 1};
    return Range{low - span * fraction, high + span * fraction};
  }
};

class Builder {
 public:
  explicit Builder(PreviewLayout& layout) : layout_(layout) {}

  void Rect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
            PreviewColour colour) {
    if (right <= left || bottom <= top) return;
    PreviewItem item;
    item.kind = PreviewItem::Kind::kRect;
    item.colour = colour;
    item.left = left, item.top = top, item.right = right, item.bottom = bottom;
    layout_.items.push_back(item);
  }
  void Polyline(const std::vector<PreviewPoint>& points, PreviewColour colour, std::uint8_t width) {
    if (points.size() < 2) return;
    PreviewItem item;
    item.kind = PreviewItem::Kind::kPolyline;
    item.colour = colour;
    item.width = width;
    item.first = static_cast<std::uint32_t>(layout_.points.size());
    item.count = static_cast<std::uint32_t>(points.size());
    layout_.points.insert(layout_.points.end(), points.begin(), points.end());
    layout_.items.push_back(item);
  }
  void Line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
            PreviewColour colour, std::uint8_t width = 1) {
    Polyline({{x0, y0}, {x1, y1}}, colour, width);
  }
  void Text(std::int32_t x, std::int32_t baseline, std::u16string text, PreviewAlign align,
            PreviewColour colour = kInk, std::int32_t size = kSmallText) {
    if (text.empty()) return;
    PreviewItem item;
    item.kind = PreviewItem::Kind::kText;
    item.colour = colour;
    item.left = x, item.top = baseline;
    item.align = align;
    item.size = static_cast<std::uint8_t>(size);
    item.first = static_cast<std::uint32_t>(layout_.texts.size());
    layout_.texts.push_back(std::move(text));
    layout_.items.push_back(item);
  }
  void Data() {
    PreviewItem item;
    item.kind = PreviewItem::Kind::kData;
    const PreviewScale& s = layout_.scale;
    item.left = s.left, item.top = s.top, item.right = s.right, item.bottom = s.bottom;
    layout_.items.push_back(item);
  }

 private:
  PreviewLayout& layout_;
};

// What the vertical axis of the picture shows.
enum class Vertical { kDepth, kElevation, kPlanY };

struct Plan {
  Vertical vertical = Vertical::kDepth;
  const std::vector<float>* ys = nullptr;
  Range x, y;
  double valueLow = 1, valueHigh = 10;
  bool anyBadValue = false;
};

// The 1st and 99th percentiles of the positive values, from a sample, so that
// one wild reading does not flatten the whole scale.
void ValueRange(const PreviewData& data, Plan& plan) {
  const std::vector<float>& values = data.value();
  const std::size_t stride = std::max<std::size_t>(1, values.size() / 65536);
  std::vector<float> sample;
  sample.reserve(values.size() / stride + 1);
  for (std::size_t i = 0; i < values.size(); i += stride) {
    if (values[i] > 0 && std::isfinite(values[i])) sample.push_back(values[i]);
  }
  for (float v : values) {
    if (!(v > 0) || !std::isfinite(v)) {
      plan.anyBadValue = true;
      break;
    }
  }
  if (sample.empty()) return;
  const auto at = [&](double fraction) {
    auto nth = sample.begin() + static_cast<std::ptrdiff_t>(fraction * (sample.size() - 1));
    std::nth_element(sample.begin(), nth, sample.end());
    return static_cast<double>(*nth);
  };
  plan.valueLow = at(0.01);
  plan.valueHigh = at(0.99);
  if (!(plan.valueHigh > plan.valueLow)) {
    plan.valueLow /= 1.5;
    plan.valueHigh = plan.valueLow * 1.5 * 1.5;
  }
}

Plan MakePlan(const PreviewData& data) {
  Plan plan;
  const SurveyReport& report = data.report();
  if (data.planView()) {
    plan.vertical = Vertical::kPlanY;
    plan.ys = &data.depthOrY();
    for (const InputSummary& input : report.inputs) {
      plan.x.Add(input.planX0), plan.x.Add(input.planX1);
      plan.y.Add(input.planY0), plan.y.Add(input.planY1);
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
      plan.x.Add(data.x()[i]);
      plan.y.Add(data.depthOrY()[i]);
    }
  } else {
    plan.vertical = data.hasElevation() ? Vertical::kElevation : Vertical::kDepth;
    plan.ys = plan.vertical == Vertical::kElevation ? &data.elevation() : &data.depthOrY();
    for (const InputSummary& input : report.inputs) {
      plan.x.Add(input.electrodeMin), plan.x.Add(input.electrodeMax);
    }
    for (float x : data.x()) plan.x.Add(x);
    for (float y : *plan.ys) plan.y.Add(y);
    if (plan.vertical == Vertical::kDepth) {
      plan.y.Add(0);
    } else {
      for (const SurfacePoint& point : report.surface) plan.y.Add(point.z);
    }
  }
  ValueRange(data, plan);
  return plan;
}

std::u16string Title(const PreviewData& data, bool binned) {
  std::u16string title;
  switch (data.mode()) {
    case MergeMode::LongProfileMerge:
      title = u"长断面（合并）";
      break;
    case MergeMode::ConcatenationScript:
      title = u"长断面（2D脚本）";
      break;
    case MergeMode::CollateScript:
      title = u"平面图（3D脚本）";
      break;
  }
  title += u"：" + Number(data.report().inputs.size()) + u" 个文件，" + Number(data.size()) +
           u" 个数据点";
  if (binned) title += u"（密集处按像元中值着色）";
  return title;
}

std::u16string LegendLabel(const InputSummary& input) {
  std::u16string label = Number(input.row + 1) + u": " + FileName(input.path);
  if (!input.readable) label += u"（无法读取）";
  return label;
}

class LayoutMaker {
 public:
  LayoutMaker(const PreviewData& data, const PreviewOptions& options, PreviewLayout& layout)
      : data_(data), options_(options), layout_(layout), out_(layout), plan_(MakePlan(data)) {}

  void Make() {
    layout_.width = std::max(0, options_.width);
    layout_.height = std::max(0, options_.height);
    out_.Rect(0, 0, layout_.width, layout_.height, layout_.background);
    const std::int32_t legendWidth = LegendWidth();
    PlaceScale(legendWidth);
    const PreviewScale& s = layout_.scale;
    if (s.right - s.left < 20 || s.bottom - s.top < 20) return;
    out_.Rect(s.left, s.top, s.right, s.bottom, kPlotBackground);
    if (plan_.vertical != Vertical::kPlanY) FindingBands();
    if (plan_.vertical == Vertical::kPlanY) PlanLines();
    MakeMarks();
    out_.Data();
    if (plan_.vertical == Vertical::kPlanY) PlanLabels();
    if (plan_.vertical == Vertical::kElevation) Surface();
    if (plan_.vertical != Vertical::kPlanY) Electrodes();
    Axes();
    out_.Text(8, 8 + kTitleText, Title(data_, layout_.binned), PreviewAlign::kLeft, kInk,
              kTitleText);
    if (data_.size() == 0)
      out_.Text((s.left + s.right) / 2, (s.top + s.bottom) / 2, u"没有可显示的数据",
                PreviewAlign::kCenter, kFrame);
    const std::int32_t legendLeft = s.right + 16;
    std::int32_t y = s.top;
    if (options_.colouring == PreviewColouring::kByValue)
      y = ColourBar(legendLeft, y);
    else
      y = InputLegend(legendLeft, y, legendWidth - 16);
    FindingKeys(legendLeft, y + 10);
  }

 private:
  std::int32_t LegendWidth() const {
    std::int32_t width = 0;
    if (options_.colouring == PreviewColouring::kByValue) {
      width = std::max(TextWidth(u"视电阻率 (Ω·m)", kSmallText), 22 + 8 + 6 * 7);
    } else {
      for (const InputSummary& input : data_.report().inputs)
        width = std::max(width, 16 + TextWidth(LegendLabel(input), kSmallText));
    }
    width = std::max(
        width, 16 + TextWidth(data_.planView() ? u"间距不符或重叠" : u"重复不符", kSmallText));
    return 16 + std::min(width + 8, std::max(80, options_.width * 3 / 10));
  }

  std::u16string YTitle() const {
    switch (plan_.vertical) {
      case Vertical::kDepth:
        return u"深度 (米)";
      case Vertical::kElevation:
        return u"高程 (米)";
      case Vertical::kPlanY:
        return u"Y (米)";
    }
    return {};
  }

  void PlaceScale(std::int32_t legendWidth) {
    PreviewScale& s = layout_.scale;
    s.top = 8 + kTitleText + 10 + kSmallText + 12;
    s.bottom = options_.height - (6 + kSmallText + 8 + kSmallText + 8);
    // The plan leaves room for the row numbers before the lines.
    Range x = plan_.x.Padded(plan_.vertical == Vertical::kPlanY ? 0.06 : 0.02);
    Range y = plan_.vertical == Vertical::kDepth ? Range{0, plan_.y.Padded(0.04).high}
                                                 : plan_.y.Padded(0.05);
    if (plan_.vertical == Vertical::kDepth && plan_.y.empty()) y.high = 1;
    // The vertical ticks decide the left margin: their widest label.
    yTicks_ = NiceTicks(y.low, y.high, std::max(2, (s.bottom - s.top) / 45));
    std::int32_t labelWidth = TextWidth(YTitle(), kSmallText) / 2;
    for (std::int32_t i = 0; i < yTicks_.count; ++i)
      labelWidth = std::max(
          labelWidth,
          TextWidth(FormatTick(yTicks_.first + i * yTicks_.step, yTicks_.decimals), kSmallText));
    s.left = 8 + labelWidth + 10;
    s.right = options_.width - legendWidth;
    if (plan_.vertical == Vertical::kPlanY) {
      // Plan: one metre is as long across as up, so angles stay true.
      const double w = std::max(1, s.right - s.left), h = std::max(1, s.bottom - s.top);
      const double perPixel = std::max((x.high - x.low) / w, (y.high - y.low) / h);
      const double cx = (x.low + x.high) / 2, cy = (y.low + y.high) / 2;
      x = Range{cx - perPixel * w / 2, cx + perPixel * w / 2};
      y = Range{cy - perPixel * h / 2, cy + perPixel * h / 2};
      yTicks_ = NiceTicks(y.low, y.high, std::max(2, (s.bottom - s.top) / 45));
    }
    s.xMin = x.low, s.xMax = x.high;
    s.yMin = y.low, s.yMax = y.high;
    s.downward = plan_.vertical == Vertical::kDepth;
  }

  std::uint32_t Key(std::size_t i) const {
    if (options_.colouring == PreviewColouring::kByInput) return data_.input()[i];
    // The bits of a float that is not negative are ordered as its value;
    // negative values count as zero, NaN and infinity above all others.
    std::uint32_t bits;
    std::memcpy(&bits, &data_.value()[i], sizeof bits);
    return bits & ~static_cast<std::uint32_t>(static_cast<std::int32_t>(bits) >> 31);
  }

  PreviewColour ColourOf(std::size_t i) const {
    if (options_.colouring == PreviewColouring::kByInput) return InputColour(data_.input()[i]);
    const std::int32_t c = ValueClass(data_.value()[i], plan_.valueLow, plan_.valueHigh);
    return c < 0 ? kBadValueColour : ValueClassColour(c);
  }

  // Pixel of datum i relative to the plot, false when it falls outside (or
  // has no place).
  bool PixelOf(std::size_t i, std::int32_t& x, std::int32_t& y) const {
    const double px = (data_.x()[i] - toPixel_.xMin) * toPixel_.xScale;
    const double py = ((*plan_.ys)[i] - toPixel_.yOrigin) * toPixel_.yScale;
    if (!(px >= 0 && px < toPixel_.width && py >= 0 && py < toPixel_.height)) return false;
    x = static_cast<std::int32_t>(px);
    y = static_cast<std::int32_t>(py);
    return true;
  }

  void MakeMarks() {
    const PreviewScale& s = layout_.scale;
    toPixel_.width = s.right - s.left;
    toPixel_.height = s.bottom - s.top;
    toPixel_.xMin = s.xMin;
    toPixel_.xScale = toPixel_.width / (s.xMax - s.xMin);
    toPixel_.yOrigin = s.downward ? s.yMin : s.yMax;
    toPixel_.yScale = (s.downward ? 1 : -1) * toPixel_.height / (s.yMax - s.yMin);
    const std::int32_t columns = (toPixel_.width + kCellSize - 1) / kCellSize;
    const std::int32_t rows = (toPixel_.height + kCellSize - 1) / kCellSize;
    const std::size_t cells = static_cast<std::size_t>(columns) * rows;
    // Two passes over the data, the cells worked out again rather than stored:
    // count per cell, then a counting sort on the cell.
    const std::size_t count = data_.size();
    const auto cellOf = [&](std::size_t i) -> std::int64_t {
      std::int32_t x, y;
      if (!PixelOf(i, x, y)) return -1;
      return std::int64_t{y / kCellSize} * columns + x / kCellSize;
    };
    std::vector<std::uint32_t> start(cells + 1, 0);
    std::size_t drawn = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const std::int64_t cell = cellOf(i);
      if (cell < 0) continue;
      ++start[cell + 1];
      ++drawn;
    }
    layout_.binned =
        drawn > static_cast<std::size_t>(toPixel_.width) * toPixel_.height / kPixelsPerMark;
    if (!layout_.binned) {
      OwnMarks(drawn);
    } else {
      for (std::size_t c = 0; c < cells; ++c) start[c + 1] += start[c];
      auto sorted = std::make_unique_for_overwrite<std::uint32_t[]>(drawn);
      {
        std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
        for (std::size_t i = 0; i < count; ++i) {
          const std::int64_t cell = cellOf(i);
          if (cell >= 0) sorted[next[cell]++] = static_cast<std::uint32_t>(i);
        }
      }
      // A cell's data mostly lie close together in the data, so reading their
      // keys stays in the cache.
      std::vector<std::uint64_t> keyed;  // key, then datum
      for (std::size_t c = 0; c < cells; ++c) {
        if (start[c] == start[c + 1]) continue;
        keyed.clear();
        for (std::uint32_t k = start[c]; k < start[c + 1]; ++k)
          keyed.push_back(std::uint64_t{Key(sorted[k])} << 32 | sorted[k]);
        const auto median = keyed.begin() + (keyed.size() - 1) / 2;
        std::nth_element(keyed.begin(), median, keyed.end());
        BinMark(static_cast<std::int32_t>(c % columns), static_cast<std::int32_t>(c / columns),
                static_cast<std::uint32_t>(*median));
      }
    }
    RasteriseMarks();
  }

  void OwnMarks(std::size_t drawn) {
    const PreviewScale& s = layout_.scale;
    layout_.marks.reserve(drawn);
    for (std::size_t i = 0; i < data_.size(); ++i) {
      std::int32_t x, y;
      if (!PixelOf(i, x, y)) continue;
      PreviewMark mark;
      const std::int32_t cx = s.left + x, cy = s.top + y;
      mark.left = std::max(s.left, cx - kMarkSize / 2);
      mark.top = std::max(s.top, cy - kMarkSize / 2);
      mark.right = std::min(s.right, cx - kMarkSize / 2 + kMarkSize);
      mark.bottom = std::min(s.bottom, cy - kMarkSize / 2 + kMarkSize);
      mark.colour = ColourOf(i);
      mark.datum = static_cast<std::uint32_t>(i);
      layout_.marks.push_back(mark);
    }
  }

  void BinMark(std::int32_t column, std::int32_t row, std::uint32_t datum) {
    const PreviewScale& s = layout_.scale;
    PreviewMark mark;
    mark.left = s.left + column * kCellSize;
    mark.top = s.top + row * kCellSize;
    mark.right = std::min(s.right, mark.left + kCellSize);
    mark.bottom = std::min(s.bottom, mark.top + kCellSize);
    mark.datum = datum;
    mark.colour = ColourOf(datum);
    layout_.marks.push_back(mark);
  }

  void RasteriseMarks() {
    const PreviewScale& s = layout_.scale;
    const std::int32_t width = s.right - s.left;
    layout_.dataLayer.assign(static_cast<std::size_t>(width) * (s.bottom - s.top),
                             PreviewLayout::kNoPixel);
    for (const PreviewMark& mark : layout_.marks) {
      for (std::int32_t y = mark.top; y < mark.bottom; ++y) {
        PreviewColour* row =
            layout_.dataLayer.data() + static_cast<std::size_t>(y - s.top) * width - s.left;
        std::fill(row + mark.left, row + mark.right, mark.colour);
      }
    }
  }

  // Pixels for drawing, far outside (never undefined) for a place that is not
  // a number.
  static std::int32_t Pixel(double p) {
    return std::isfinite(p) ? static_cast<std::int32_t>(std::lround(std::clamp(p, -1e6, 1e6)))
                            : -1000000;
  }
  std::int32_t X(double x) const { return Pixel(layout_.scale.PixelX(x)); }
  std::int32_t Y(double y) const { return Pixel(layout_.scale.PixelY(y)); }

  // Gaps, overlaps and duplicates as bands over their stretch of the profile.
  void FindingBands() {
    const PreviewScale& s = layout_.scale;
    for (const Finding& finding : data_.report().findings) {
      const FindingStyle* style = StyleOf(finding.code);
      if (!style || !std::isfinite(finding.xFrom)) continue;
      const double to = std::isfinite(finding.xTo) ? finding.xTo : finding.xFrom;
      std::int32_t left = std::max(s.left, X(std::min(finding.xFrom, to)));
      std::int32_t right = std::min(s.right, X(std::max(finding.xFrom, to)));
      if (right - left < 3) left = std::max(s.left, left - 1), right = std::min(s.right, left + 3);
      if (right <= left) continue;
      out_.Rect(left, s.top, right, s.bottom, style->band);
      out_.Rect(left, s.top, right, s.top + 4, style->marker);
      shownFindings_[style - kPlacedFindings.data()] = true;
    }
  }

  static const FindingStyle* StyleOf(const std::string& code) {
    for (const FindingStyle& style : kPlacedFindings)
      if (code == style.code) return &style;
    return nullptr;
  }

  bool Highlighted(std::size_t input) const {
    for (const Finding& finding : data_.report().findings)
      if (finding.input == static_cast<std::int32_t>(input) && HighlightedInPlan(finding.code))
        return true;
    return false;
  }

  PreviewColour LineColour(std::size_t input) const {
    return options_.colouring == PreviewColouring::kByInput ? InputColour(input) : kFrame;
  }

  void PlanLines() {
    const std::vector<InputSummary>& inputs = data_.report().inputs;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      const InputSummary& input = inputs[i];
      if (!std::isfinite(input.planX0) || !Highlighted(i)) continue;
      out_.Line(X(input.planX0), Y(input.planY0), X(input.planX1), Y(input.planY1),
                kHighlightColour, 9);
      highlighted_ = true;
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      const InputSummary& input = inputs[i];
      if (!std::isfinite(input.planX0)) continue;
      out_.Line(X(input.planX0), Y(input.planY0), X(input.planX1), Y(input.planY1), LineColour(i),
                2);
    }
  }

  // Each line's row number beside its first electrode, away from the line.
  void PlanLabels() {
    for (const InputSummary& input : data_.report().inputs) {
      if (!std::isfinite(input.planX0)) continue;
      const double dx = X(input.planX1) - X(input.planX0), dy = Y(input.planY1) - Y(input.planY0);
      const double length = std::max(1.0, std::hypot(dx, dy));
      const std::int32_t x = X(input.planX0) - static_cast<std::int32_t>(dx / length * 12);
      const std::int32_t y = Y(input.planY0) - static_cast<std::int32_t>(dy / length * 12);
      out_.Rect(x - 9, y - 8, x + 9, y + 8, 0xFFFFFF);
      out_.Text(x, y + kSmallText / 2 - 1, Number(input.row + 1), PreviewAlign::kCenter,
                Highlighted(&input - data_.report().inputs.data()) ? 0xC00000 : kInk);
    }
  }

  double SurfaceAt(double x) const {
    const std::vector<SurfacePoint>& surface = data_.report().surface;
    if (surface.empty()) return kNoValue;
    if (x <= surface.front().x) return surface.front().z;
    if (x >= surface.back().x) return surface.back().z;
    auto after = std::lower_bound(surface.begin(), surface.end(), x,
                                  [](const SurfacePoint& p, double v) { return p.x < v; });
    if (after == surface.begin()) return after->z;
    const SurfacePoint& a = *(after - 1);
    const SurfacePoint& b = *after;
    return b.x > a.x ? a.z + (b.z - a.z) * (x - a.x) / (b.x - a.x) : b.z;
  }

  // The topography's extent within the plot, cut at its edges.
  void Surface() {
    const PreviewScale& s = layout_.scale;
    const std::vector<SurfacePoint>& surface = data_.report().surface;
    if (surface.empty()) return;
    const double from = std::max(s.xMin, surface.front().x);
    const double to = std::min(s.xMax, surface.back().x);
    if (!(from < to)) return;
    std::vector<PreviewPoint> points{{X(from), Y(SurfaceAt(from))}};
    for (const SurfacePoint& point : surface) {
      if (!(point.x > from && point.x < to)) continue;
      const PreviewPoint p{X(point.x), Y(point.z)};
      if (points.back().x == p.x && points.back().y == p.y) continue;
      points.push_back(p);
    }
    points.push_back({X(to), Y(SurfaceAt(to))});
    out_.Polyline(points, kSurfaceColour, 2);
  }

  // Electrodes as ticks on the surface, or above the plot when there is none;
  // ticks closer than three pixels would only blacken the line.
  void Electrodes() {
    const PreviewScale& s = layout_.scale;
    const bool onSurface = plan_.vertical == Vertical::kElevation;
    std::int32_t lastX = -(1 << 30);
    for (double x : data_.Electrodes()) {
      const std::int32_t px = X(x);
      if (px - lastX < 3 || px < s.left || px >= s.right) continue;
      lastX = px;
      const double surface = onSurface ? SurfaceAt(x) : kNoValue;
      if (onSurface && !std::isfinite(surface)) continue;
      const std::int32_t py = onSurface ? Y(surface) : s.top;
      out_.Line(px, py - 5, px, py, kInk);
    }
  }

  void Axes() {
    const PreviewScale& s = layout_.scale;
    out_.Polyline({{s.left, s.top},
                   {s.right, s.top},
                   {s.right, s.bottom},
                   {s.left, s.bottom},
                   {s.left, s.top}},
                  kFrame, 1);
    const AxisTicks xTicks = NiceTicks(s.xMin, s.xMax, std::max(2, (s.right - s.left) / 90));
    for (std::int32_t i = 0; i < xTicks.count; ++i) {
      const double value = xTicks.first + i * xTicks.step;
      const std::int32_t x = X(value);
      out_.Line(x, s.bottom, x, s.bottom + 5, kFrame);
      out_.Text(x, s.bottom + 6 + kSmallText, FormatTick(value, xTicks.decimals),
                PreviewAlign::kCenter);
    }
    out_.Text((s.left + s.right) / 2, s.bottom + 6 + kSmallText + 8 + kSmallText,
              plan_.vertical == Vertical::kPlanY ? u"X (米)" : u"距离 (米)", PreviewAlign::kCenter);
    for (std::int32_t i = 0; i < yTicks_.count; ++i) {
      const double value = yTicks_.first + i * yTicks_.step;
      const std::int32_t y = Y(value);
      out_.Line(s.left - 5, y, s.left, y, kFrame);
      out_.Text(s.left - 7, y + kSmallText * 4 / 10, FormatTick(value, yTicks_.decimals),
                PreviewAlign::kRight);
    }
    out_.Text(8, s.top - 12, YTitle(), PreviewAlign::kLeft);
  }

  std::int32_t InputLegend(std::int32_t left, std::int32_t top, std::int32_t width) {
    const std::vector<InputSummary>& inputs = data_.report().inputs;
    const std::int32_t lineHeight = kSmallText + 6;
    const std::int32_t room = std::max(1, (layout_.scale.bottom - top) / lineHeight - 4);
    std::int32_t y = top;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      if (static_cast<std::int32_t>(i) == room - 1 &&
          inputs.size() > static_cast<std::size_t>(room)) {
        out_.Text(left, y + kSmallText - 1, u"… 另有 " + Number(inputs.size() - i) + u" 个文件",
                  PreviewAlign::kLeft);
        y += lineHeight;
        break;
      }
      out_.Rect(left, y + 1, left + 10, y + 11, InputColour(i));
      out_.Text(left + 16, y + kSmallText - 1,
                FitText(LegendLabel(inputs[i]), kSmallText, width - 16), PreviewAlign::kLeft,
                inputs[i].readable ? kInk : 0xB00000);
      y += lineHeight;
    }
    return y;
  }

  std::int32_t ColourBar(std::int32_t left, std::int32_t top) {
    out_.Text(left, top + kSmallText - 1, u"视电阻率 (Ω·m)", PreviewAlign::kLeft);
    top += kSmallText + 10;
    const std::int32_t available = layout_.scale.bottom - top - 80;
    const std::int32_t box = std::clamp(available / kValueClasses, 6, 22);
    const std::int32_t labelEvery = box >= 14 ? 1 : box >= 7 ? 2 : 4;
    const double logLow = std::log(plan_.valueLow), logHigh = std::log(plan_.valueHigh);
    for (std::int32_t c = 0; c <= kValueClasses; ++c) {
      const std::int32_t y = top + (kValueClasses - c) * box;
      if (c < kValueClasses) out_.Rect(left, y - box, left + 22, y, ValueClassColour(c));
      if (c % labelEvery == 0) {
        out_.Line(left + 22, y, left + 26, y, kFrame);
        const double value = std::exp(logLow + (logHigh - logLow) * c / kValueClasses);
        out_.Text(left + 29, y + kSmallText * 4 / 10, FormatValue(value), PreviewAlign::kLeft);
      }
    }
    std::int32_t y = top + kValueClasses * box + 10;
    if (plan_.anyBadValue) {
      out_.Rect(left, y, left + 22, y + box, kBadValueColour);
      out_.Text(left + 29, y + box / 2 + kSmallText * 4 / 10, u"无效值", PreviewAlign::kLeft);
      y += box + 8;
    }
    return y;
  }

  void FindingKeys(std::int32_t left, std::int32_t y) {
    const std::int32_t lineHeight = kSmallText + 6;
    for (std::size_t k = 0; k < kPlacedFindings.size(); ++k) {
      if (!shownFindings_[k] || y + lineHeight > layout_.height) continue;
      out_.Rect(left, y + 1, left + 10, y + 11, kPlacedFindings[k].band);
      out_.Rect(left, y + 1, left + 10, y + 4, kPlacedFindings[k].marker);
      out_.Text(left + 16, y + kSmallText - 1, kPlacedFindings[k].label, PreviewAlign::kLeft);
      y += lineHeight;
    }
    if (highlighted_ && y + lineHeight <= layout_.height) {
      out_.Rect(left, y + 3, left + 10, y + 9, kHighlightColour);
      out_.Text(left + 16, y + kSmallText - 1, u"间距不符或重叠", PreviewAlign::kLeft);
    }
  }

  const PreviewData& data_;
  const PreviewOptions& options_;
  PreviewLayout& layout_;
  Builder out_;
  Plan plan_;
  AxisTicks yTicks_;
  struct {
    std::int32_t width = 0, height = 0;
    double xMin = 0, xScale = 1, yOrigin = 0, yScale = 1;
  } toPixel_;
  std::array<bool, kPlacedFindings.size()> shownFindings_{};
  bool highlighted_ = false;
};

void FillRect(PreviewColour* pixels, std::int32_t stride, std::int32_t width, std::int32_t height,
              std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
              PreviewColour colour) {
  left = std::max(left, 0), top = std::max(top, 0);
  right = std::min(right, width), bottom = std::min(bottom, height);
  if (right <= left || bottom <= top) return;
  for (std::int32_t y = top; y < bottom; ++y)
    std::fill(pixels + static_cast<std::ptrdiff_t>(y) * stride + left,
              pixels + static_cast<std::ptrdiff_t>(y) * stride + right, colour);
}

void DrawSegment(PreviewColour* pixels, std::int32_t stride, std::int32_t width,
                 std::int32_t height, PreviewPoint a, PreviewPoint b, std::int32_t pen,
                 PreviewColour colour) {
  // Segments far outside are clipped to a box around the picture first, so a
  // huge coordinate cannot make the walk long.
  const std::int64_t limit = 4 * std::int64_t{std::max(width, height)} + 16;
  auto outside = [&](PreviewPoint p) {
    return p.x < -limit || p.y < -limit || p.x > limit || p.y > limit;
  };
  if (outside(a) || outside(b)) {
    if ((a.x < 0 && b.x < 0) || (a.y < 0 && b.y < 0) || (a.x >= width && b.x >= width) ||
        (a.y >= height && b.y >= height))
      return;
    const double steps = std::max(std::abs(double(b.x) - a.x), std::abs(double(b.y) - a.y));
    if (steps > 4 * limit) {
      // Walk only the part inside by parameter.
      const std::int32_t n = static_cast<std::int32_t>(4 * limit);
      for (std::int32_t i = 0; i <= n; ++i) {
        const double t = double(i) / n;
        const double x = a.x + (double(b.x) - a.x) * t, y = a.y + (double(b.y) - a.y) * t;
        if (x < -pen || y < -pen || x > width + pen || y > height + pen) continue;
        const std::int32_t px = static_cast<std::int32_t>(x), py = static_cast<std::int32_t>(y);
        FillRect(pixels, stride, width, height, px - pen / 2, py - pen / 2, px - pen / 2 + pen,
                 py - pen / 2 + pen, colour);
      }
      return;
    }
  }
  std::int32_t x = a.x, y = a.y;
  const std::int32_t dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
  const std::int32_t sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
  std::int32_t error = dx + dy;
  for (;;) {
    if (pen <= 1) {
      if (x >= 0 && y >= 0 && x < width && y < height)
        pixels[static_cast<std::ptrdiff_t>(y) * stride + x] = colour;
    } else {
      FillRect(pixels, stride, width, height, x - pen / 2, y - pen / 2, x - pen / 2 + pen,
               y - pen / 2 + pen, colour);
    }
    if (x == b.x && y == b.y) break;
    const std::int32_t twice = 2 * error;
    if (twice >= dy) error += dy, x += sx;
    if (twice <= dx) error += dx, y += sy;
  }
}

}  // namespace

double PreviewScale::PixelX(double x) const {
  return left + (x - xMin) / (xMax - xMin) * (right - left);
}

double PreviewScale::PixelY(double y) const {
  const double t = (y - yMin) / (yMax - yMin);
  return downward ? top + t * (bottom - top) : bottom - t * (bottom - top);
}

AxisTicks NiceTicks(double low, double high, std::int32_t wanted) {
  AxisTicks ticks;
  if (!std::isfinite(low) || !std::isfinite(high) || !(high > low)) return ticks;
  const double raw = (high - low) / std::max(1, wanted);
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double norm = raw / magnitude;
  const double factor = norm < 1.5 ? 1 : norm < 3.5 ? 2 : norm < 7.5 ? 5 : 10;
  ticks.step = factor * magnitude;
  ticks.first = std::ceil(low / ticks.step - 1e-9) * ticks.step;
  ticks.count = static_cast<std::int32_t>(std::floor((high - ticks.first) / ticks.step + 1e-9)) + 1;
  ticks.decimals =
      std::max(0, -static_cast<std::int32_t>(std::floor(std::log10(ticks.step) + 1e-9)));
  return ticks;
}

std::u16string FormatTick(double value, std::int32_t decimals) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                    std::clamp(decimals, 0, 12));
  if (result.ec != std::errc{}) return u"?";
  const std::string_view text(buffer, result.ptr - buffer);
  if (text.find_first_not_of("-0.") == std::string_view::npos) return u"0";  // no "-0"
  return std::u16string(text.begin(), text.end());
}

std::int32_t ValueClass(double value, double low, double high) {
  if (!(value > 0) || !std::isfinite(value) || !(low > 0)) return -1;
  if (!(high > low)) return kValueClasses / 2;
  const double t = (std::log(value) - std::log(low)) / (std::log(high) - std::log(low));
  return std::clamp(static_cast<std::int32_t>(std::floor(t * kValueClasses)), 0, kValueClasses - 1);
}

PreviewColour ValueClassColour(std::int32_t valueClass) {
  // Blue for low resistivity through green and yellow to red and purple.
  static constexpr std::array<PreviewColour, 7> kStops = {0x1E3CC8, 0x0096FF, 0x00C8A0, 0x50C828,
                                                          0xFFDC00, 0xF05014, 0x961E8C};
  const double t = std::clamp(valueClass, 0, kValueClasses - 1) /
                   static_cast<double>(kValueClasses - 1) * (kStops.size() - 1);
  const std::size_t stop = std::min<std::size_t>(static_cast<std::size_t>(t), kStops.size() - 2);
  return Mix(kStops[stop], kStops[stop + 1], t - stop);
}

PreviewColour InputColour(std::uint32_t input) {
  static constexpr std::array<PreviewColour, 10> kColours = {0x1F77B4, 0xFF7F0E, 0x2CA02C, 0xD62728,
                                                             0x9467BD, 0x8C564B, 0xE377C2, 0x17BECF,
                                                             0xBCBD22, 0x4B4B4B};
  // Past ten rows the same hues again, darker, then lighter.
  const PreviewColour base = kColours[input % kColours.size()];
  switch (input / kColours.size() % 3) {
    case 1:
      return Mix(base, 0x000000, 0.35);
    case 2:
      return Mix(base, 0xFFFFFF, 0.45);
  }
  return base;
}

PreviewLayout LayOutPreview(const PreviewData& data, const PreviewOptions& options) {
  PreviewLayout layout;
  LayoutMaker(data, options, layout).Make();
  return layout;
}

void PaintPreview(const PreviewLayout& layout, PreviewColour* pixels, std::int32_t stride) {
  const std::int32_t width = layout.width, height = layout.height;
  for (const PreviewItem& item : layout.items) {
    switch (item.kind) {
      case PreviewItem::Kind::kRect:
        FillRect(pixels, stride, width, height, item.left, item.top, item.right, item.bottom,
                 item.colour);
        break;
      case PreviewItem::Kind::kPolyline:
        for (std::uint32_t i = 1; i < item.count; ++i)
          DrawSegment(pixels, stride, width, height, layout.points[item.first + i - 1],
                      layout.points[item.first + i], item.width, item.colour);
        break;
      case PreviewItem::Kind::kText:
        break;
      case PreviewItem::Kind::kData: {
        const PreviewScale& s = layout.scale;
        const std::int32_t layerWidth = s.right - s.left;
        for (std::int32_t y = std::max(s.top, 0); y < std::min(s.bottom, height); ++y) {
          const PreviewColour* from =
              layout.dataLayer.data() + static_cast<std::size_t>(y - s.top) * layerWidth;
          PreviewColour* to = pixels + static_cast<std::ptrdiff_t>(y) * stride + s.left;
          const std::int32_t count = std::min(layerWidth, width - s.left);
          // Branch-free, so the cost is the same however many marks there are.
          for (std::int32_t x = 0; x < count; ++x)
            to[x] = from[x] == PreviewLayout::kNoPixel ? to[x] : from[x];
        }
        break;
      }
    }
  }
}

std::optional<PreviewHit> HitTestPreview(const PreviewLayout& layout, const PreviewData& data,
                                         std::int32_t x, std::int32_t y) {
  const PreviewMark* best = nullptr;
  std::int64_t bestDistance = std::int64_t{kHitRadius} * kHitRadius + 1;
  for (const PreviewMark& mark : layout.marks) {
    // Distance to the mark's square; inside is 0, and a later mark covers an
    // earlier one.
    const std::int64_t dx = std::max({mark.left - x, 0, x - (mark.right - 1)});
    const std::int64_t dy = std::max({mark.top - y, 0, y - (mark.bottom - 1)});
    const std::int64_t distance = dx * dx + dy * dy;
    if (distance <= bestDistance) {
      bestDistance = distance;
      best = &mark;
    }
  }
  if (!best || best->datum >= data.size()) return std::nullopt;
  PreviewHit hit;
  hit.datum = best->datum;
  hit.input = data.input()[best->datum];
  hit.line = data.line()[best->datum];
  hit.value = data.value()[best->datum];
  return hit;
}

}  // namespace dorvane
