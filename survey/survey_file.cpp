#include "survey/survey_file.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include "data/decimal.h"

namespace dorvane {
namespace {

// A table rather than six comparisons: data lines are padded with runs of spaces.
constexpr std::array<bool, 256> kSeparators = [] {
  std::array<bool, 256> table{};
  for (const char b : {' ', '\t', ',', '\r', '\v', '\f'})
    table[static_cast<std::uint8_t>(b)] = true;
  return table;
}();

constexpr bool IsSeparator(std::uint8_t b) {
  return kSeparators[b];
}

constexpr bool IsLetter(std::uint8_t b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

constexpr bool StartsNumber(std::uint8_t b) {
  return (b >= '0' && b <= '9') || b == '-' || b == '+' || b == '.';
}

// One field of a line: a run of bytes between separators.
struct Field {
  const std::uint8_t* begin;
  const std::uint8_t* end;
};

// The field's text from its number on, past one leading '+'; false where it
// does not start like a number.
bool NumberText(Field field, const char*& begin, const char*& end) {
  begin = reinterpret_cast<const char*>(field.begin);
  end = reinterpret_cast<const char*>(field.end);
  if (begin < end && *begin == '+') ++begin;
  return begin != end && StartsNumber(static_cast<std::uint8_t>(*begin)) && *begin != '+';
}

// The whole field as a number: optional sign, decimal digits, point, exponent.
bool FieldNumber(Field field, double& value) {
  const char *begin, *end;
  return NumberText(field, begin, end) && ReadWholeNumber(begin, end, value);
}

// Walks the fields of [begin, end).
class Fields {
 public:
  Fields(const std::uint8_t* begin, const std::uint8_t* end) : p_(begin), end_(end) {}
  bool Next(Field& field) {
    if (!More()) return false;
    field.begin = p_;
    while (p_ < end_ && !IsSeparator(*p_)) ++p_;
    field.end = p_;
    return true;
  }
  // The next field as a number (see FieldNumber); a plain decimal is read in the
  // same pass that finds the field's end.
  bool NextNumber(double& value) {
    if (!More()) return false;
    const char* begin = reinterpret_cast<const char*>(p_);
    const char* end = reinterpret_cast<const char*>(end_);
    const char* plain = ReadPlainDecimal(begin, end, value);
    if (plain != nullptr && (plain == end || IsSeparator(static_cast<std::uint8_t>(*plain)))) {
      p_ = reinterpret_cast<const std::uint8_t*>(plain);
      return true;
    }
    Field field;
    return Next(field) && FieldNumber(field, value);
  }
  // Whether another field follows; passes over the separators before it.
  bool More() {
    // Spaces eight at a time: instruments pad their columns with them.
    static_assert(std::endian::native == std::endian::little);
    while (end_ - p_ >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p_, sizeof word);
      word ^= 0x2020202020202020ull;
      if (word != 0) {
        p_ += std::countr_zero(word) / 8;
        break;
      }
      p_ += 8;
    }
    while (p_ < end_ && IsSeparator(*p_)) ++p_;
    return p_ != end_;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

// The number a header field starts with; what follows it in the field (a unit,
// "R"/"L" after an array type) does not matter.
bool LeadingNumber(Field field, double& value) {
  const char *begin, *end;
  if (!NumberText(field, begin, end)) return false;
  const auto [ptr, error] = std::from_chars(begin, end, value, std::chars_format::general);
  return error == std::errc{} && std::isfinite(value);
}

bool HasLetter(const std::uint8_t* begin, const std::uint8_t* end) {
  for (; begin < end; ++begin)
    if (IsLetter(*begin)) return true;
  return false;
}

// Case-insensitive search for ASCII words in lower case; a space in `words`
// stands for any run of separators, as titles are written with tabs or commas.
bool Mentions(const std::uint8_t* begin, const std::uint8_t* end, const char* words) {
  for (; begin < end; ++begin) {
    const std::uint8_t* p = begin;
    const char* w = words;
    for (; *w != '\0'; ++w) {
      if (*w == ' ') {
        if (p == end || !IsSeparator(*p)) break;
        while (p < end && IsSeparator(*p)) ++p;
      } else if (p < end && (*p | 0x20) == static_cast<std::uint8_t>(*w)) {
        ++p;
      } else {
        break;
      }
    }
    if (*w == '\0') return true;
  }
  return false;
}

// A line that can be a data row: it starts with a number-like field and has a
// second field. Decided from the start of the line only, so that passing over
// the data stays cheap.
bool LooksLikeData(const std::uint8_t* begin, const std::uint8_t* end) {
  Fields fields(begin, end);
  Field first;
  return fields.Next(first) && StartsNumber(*first.begin) && fields.More();
}

std::size_t CountFields(const std::uint8_t* begin, const std::uint8_t* end) {
  Fields fields(begin, end);
  Field field;
  std::size_t count = 0;
  while (fields.Next(field)) ++count;
  return count;
}

bool IntegerValue(double value, std::int64_t& integer) {
  if (!(std::fabs(value) < 9e15) || value != std::floor(value)) return false;
  integer = static_cast<std::int64_t>(value);
  return true;
}

bool IsIndexBased(std::int32_t type) {
  return type >= kWennerAlpha && type <= kEquatorialDipoleDipole;
}

// Values before the IP value and the error estimate: x a [n] rho.
std::size_t IndexColumns(std::int32_t type) {
  return type == kDipoleDipole || type == kPoleDipole || type == kWennerSchlumberger ? 4 : 3;
}

struct Offsets {
  double along[4];
  bool present[4];
};

// Electrode offsets from the row's x, first-electrode convention.
bool IndexLayout(std::int32_t type, double a, double n, Offsets& o) {
  auto set = [&](int role, double along) {
    o.along[role] = along;
    o.present[role] = true;
  };
  for (bool& p : o.present) p = false;
  switch (type) {
    case kWennerAlpha:
      set(kC1, 0), set(kP1, a), set(kP2, 2 * a), set(kC2, 3 * a);
      return true;
    case kWennerBeta:
      set(kC2, 0), set(kC1, a), set(kP1, 2 * a), set(kP2, 3 * a);
      return true;
    case kWennerGamma:
      set(kC1, 0), set(kP1, a), set(kC2, 2 * a), set(kP2, 3 * a);
      return true;
    case kPolePole:
      set(kC1, 0), set(kP1, a);
      return true;
    case kEquatorialDipoleDipole:
      set(kC1, 0), set(kC2, 0), set(kP1, a), set(kP2, a);
      return true;
    case kDipoleDipole:
      if (!(n > 0)) return false;
      set(kC2, 0), set(kC1, a), set(kP1, (n + 1) * a), set(kP2, (n + 2) * a);
      return true;
    case kWennerSchlumberger:
      if (!(n > 0)) return false;
      set(kC1, 0), set(kP1, n * a), set(kP2, (n + 1) * a), set(kC2, (2 * n + 1) * a);
      return true;
    case kPoleDipole:
      if (n > 0) {
        set(kC1, 0), set(kP1, n * a), set(kP2, (n + 1) * a);
      } else if (n < 0) {
        set(kP2, 0), set(kP1, a), set(kC1, (1 - n) * a);
      } else {
        return false;
      }
      return true;
    default:
      return false;
  }
}

}  // namespace

SurveyFileReader::SurveyFileReader(std::span<const std::uint8_t> content, ScanWindows* windows)
    : data_(content.data()), size_(content.size()), windows_(windows) {}

bool SurveyFileReader::NextLine(Line& line) {
  if (position_ >= size_) return false;
  if (windows_ != nullptr && position_ >= nextWindow_) {
    const std::size_t window = position_ - position_ % ScanWindows::kBytes;
    windows_->Entering(window);
    nextWindow_ = window + ScanWindows::kBytes;
  }
  const std::uint8_t* begin = data_ + position_;
  const std::uint8_t* end = data_ + size_;
  const auto* lf = static_cast<const std::uint8_t*>(std::memchr(begin, '\n', end - begin));
  position_ = lf == nullptr ? size_ : static_cast<std::size_t>(lf - data_) + 1;
  if (lf != nullptr) end = lf;
  if (end > begin && end[-1] == '\r') --end;
  line = {begin, end, ++lineNumber_};
  return true;
}

bool SurveyFileReader::PeekLine(Line& line) {
  const std::size_t position = position_;
  const std::uint64_t number = lineNumber_;
  const bool got = NextLine(line);
  position_ = position;
  lineNumber_ = number;
  return got;
}

void SurveyFileReader::SkipTextLines() {
  Line line;
  while (PeekLine(line) && HasLetter(line.begin, line.end) &&
         !LooksLikeData(line.begin, line.end)) {
    NextLine(line);
    // "C2 remote electrode X, Y and Z location": its coordinates follow.
    if (Mentions(line.begin, line.end, "location")) NextLine(line);
  }
}

HeaderProblem SurveyFileReader::ReadHeader(SurveyHeader& header) {
  header = {};
  using Kind = HeaderProblem::Kind;
  using What = HeaderProblem::What;
  Line line;
  // The first field of the next line as a number.
  auto number = [&](double& value) {
    if (!NextLine(line)) {
      ++lineNumber_;  // the line that is missing
      return false;
    }
    Fields fields(line.begin, line.end);
    Field field;
    return fields.Next(field) && LeadingNumber(field, value);
  };
  auto integer = [&](std::int64_t& value) {
    double read = 0;
    return number(read) && IntegerValue(read, value);
  };
  auto problemAt = [&](What what) { return HeaderProblem{Kind::Unreadable, what, lineNumber_}; };

  if (!NextLine(line)) return problemAt(What::Spacing);  // no title: nothing at all
  if (!number(header.spacing) || !(header.spacing > 0)) return problemAt(What::Spacing);
  std::int64_t value = 0;
  if (!integer(value) || value < 0 || value > 1000) return problemAt(What::ArrayType);
  header.arrayType = static_cast<std::int32_t>(value);
  header.arrayTypeLine = lineNumber_;
  header.measurementLine = lineNumber_;
  const bool general = header.arrayType == kGeneralArray;
  if (!general && !IsIndexBased(header.arrayType))
    return HeaderProblem{Kind::Unsupported, What::UnknownArray, header.arrayTypeLine};
  if (general) {
    if (!integer(value) || value < 0 || value > 1000) return problemAt(What::SubArray);
    header.subArray = static_cast<std::int32_t>(value);
    // "Type of measurement (0=app. resistivity,1=resistance)" and its value.
    if (PeekLine(line) && HasLetter(line.begin, line.end)) NextLine(line);
    if (!integer(value) || (value != 0 && value != 1)) return problemAt(What::Measurement);
    header.measurement = static_cast<std::int32_t>(value);
    header.measurementLine = lineNumber_;
  }
  if (header.arrayType == kEquatorialDipoleDipole &&
      (!number(header.offset) || !(header.offset > 0)))
    return problemAt(What::Offset);
  SkipTextLines();
  if (!integer(value) || value < 0) return problemAt(What::Count);
  header.declaredCount = value;
  header.countLine = lineNumber_;
  if (!integer(value) || value < 0 || value > 1000) return problemAt(What::XLocation);
  header.xLocation = static_cast<std::int32_t>(value);
  header.xLocationLine = lineNumber_;
  if (!integer(value) || (value != 0 && value != 1)) return problemAt(What::IpFlag);
  header.ip = value == 1;
  header.ipLine = lineNumber_;
  // Quantity, unit and window times.
  if (header.ip)
    for (int i = 0; i < 3; ++i) NextLine(line);
  // Text lines up to the data; a row such as "1 1 1.5E-3" holds a letter too.
  while (PeekLine(line) && HasLetter(line.begin, line.end) &&
         !LooksLikeData(line.begin, line.end)) {
    NextLine(line);
    if (!Mentions(line.begin, line.end, "error estimate for data")) continue;
    header.errors = true;
    // "Type of error estimate (0=same unit as data)" and its value.
    if (PeekLine(line) && HasLetter(line.begin, line.end)) NextLine(line);
    NextLine(line);
  }
  header_ = header;
  rowsRead_ = 0;
  dataOver_ = false;
  if (!general && header.xLocation > 1)
    return HeaderProblem{Kind::Unsupported, What::XLocationTwo, header.xLocationLine};
  if (header.arrayType == kPoleDipole && header.xLocation == 1)
    return HeaderProblem{Kind::Unsupported, What::PoleDipoleMiddle, header.xLocationLine};
  return {};
}

bool SurveyFileReader::NextDataLine(Line& line) {
  if (dataOver_) return false;
  const std::size_t position = position_;
  const std::uint64_t number = lineNumber_;
  bool data = NextLine(line) && LooksLikeData(line.begin, line.end);
  if (data && rowsRead_ >= static_cast<std::uint64_t>(header_.declaredCount))
    data = rowsRead_ > 0 && CountFields(line.begin, line.end) == firstRowFields_;
  if (!data) {
    position_ = position;
    lineNumber_ = number;
    dataOver_ = true;
    return false;
  }
  if (rowsRead_ == 0) firstRowFields_ = CountFields(line.begin, line.end);
  ++rowsRead_;
  return true;
}

std::size_t SurveyFileReader::ReadRows(std::span<DataRow> rows) {
  std::size_t count = 0;
  Line line;
  while (count < rows.size()) {
    if (dataOver_ || rowsRead_ == 0 ||
        rowsRead_ >= static_cast<std::uint64_t>(header_.declaredCount)) {
      if (!NextDataLine(line)) break;
      ParseRow(line, rows[count++]);
      continue;
    }
    // Within the declared count a row that reads is a data line without the
    // test, which costs about as much again as reading it.
    const std::size_t position = position_;
    const std::uint64_t number = lineNumber_;
    if (!NextLine(line)) {
      dataOver_ = true;
      break;
    }
    ParseRow(line, rows[count]);
    if (!rows[count].readable && !LooksLikeData(line.begin, line.end)) {
      position_ = position;
      lineNumber_ = number;
      dataOver_ = true;
      break;
    }
    ++rowsRead_;
    ++count;
  }
  return count;
}

void SurveyFileReader::SkipRows() {
  Line line;
  while (NextDataLine(line)) {
  }
}

void SurveyFileReader::ParseRow(const Line& line, DataRow& row) const {
  row.readable = false;
  row.a = row.n = 0;
  row.datum = Datum{};
  row.datum.line = line.number;
  Fields fields(line.begin, line.end);
  // The most a row needs: k, four electrodes' x and z, value, IP, error.
  double values[12];
  const bool general = header_.arrayType == kGeneralArray;
  const std::size_t extra = (header_.ip ? 1 : 0) + (header_.errors ? 1 : 0);
  std::size_t needed = general ? 1 : IndexColumns(header_.arrayType) + extra;
  std::size_t read = 0;
  for (; read < needed; ++read) {
    if (!fields.NextNumber(values[read])) return;
    if (general && read == 0) {
      std::int64_t k = 0;
      if (!IntegerValue(values[0], k) || k < 2 || k > 4) return;
      needed = 1 + 2 * static_cast<std::size_t>(k) + 1 + extra;
    }
  }
  // Further fields (an instrument's current and voltage) do not matter.
  Datum& datum = row.datum;
  std::size_t valueAt = 0;
  if (general) {
    const auto k = static_cast<int>(values[0]);
    // k = 4: C1 C2 P1 P2; 3: C1 P1 P2; 2: C1 P1.
    static constexpr int kRoles[5][4] = {{}, {}, {kC1, kP1}, {kC1, kP1, kP2}, {kC1, kC2, kP1, kP2}};
    for (int i = 0; i < k; ++i) {
      Electrode& e = datum.electrodes[kRoles[k][i]];
      e.present = true;
      e.x = values[1 + 2 * i];
      e.z = values[2 + 2 * i];
      if (!std::isfinite(e.x) || !std::isfinite(e.z)) return;
    }
    valueAt = 1 + 2 * static_cast<std::size_t>(k);
  } else {
    const double x = values[0];
    const double a = values[1];
    const bool hasN = IndexColumns(header_.arrayType) == 4;
    const double n = hasN ? values[2] : 1;
    Offsets offsets;
    if (!(a > 0) || !IndexLayout(header_.arrayType, a, n, offsets)) return;
    double first = x;
    if (header_.xLocation == 1) {
      // x is the centre of the outermost electrodes present.
      double low = INFINITY, high = -INFINITY;
      for (int role = 0; role < 4; ++role)
        if (offsets.present[role]) {
          if (offsets.along[role] < low) low = offsets.along[role];
          if (offsets.along[role] > high) high = offsets.along[role];
        }
      first = x - (low + high) / 2;
    }
    for (int role = 0; role < 4; ++role) {
      if (!offsets.present[role]) continue;
      Electrode& e = datum.electrodes[role];
      e.present = true;
      e.x = first + offsets.along[role];
      if (!std::isfinite(e.x)) return;
    }
    if (header_.arrayType == kEquatorialDipoleDipole)
      datum.electrodes[kC2].across = datum.electrodes[kP2].across = header_.offset;
    row.a = a;
    row.n = n;
    valueAt = hasN ? 3 : 2;
  }
  datum.value = values[valueAt];
  if (header_.ip) datum.ip = values[valueAt + 1];
  row.readable = true;
}

void SurveyFileReader::ReadTopography(TopographySection& section) {
  section = {};
  SkipRows();
  Line line;
  // "Topography in separate list" and the like.
  while (PeekLine(line) && HasLetter(line.begin, line.end)) NextLine(line);
  auto integer = [&](std::int64_t& value) {
    if (!NextLine(line)) return false;
    Fields fields(line.begin, line.end);
    Field field;
    double read = 0;
    return fields.Next(field) && FieldNumber(field, read) && IntegerValue(read, value);
  };
  std::int64_t flag = 0, count = 0;
  if (!integer(flag) || (flag != 1 && flag != 2)) return;
  if (!integer(count) || count < 0) {
    section.unreadableLine = lineNumber_;
    return;
  }
  for (std::int64_t i = 0; i < count; ++i) {
    if (!NextLine(line)) {
      section.unreadableLine = lineNumber_ + 1;
      return;
    }
    Fields fields(line.begin, line.end);
    Field field;
    TopographyPoint point;
    point.line = line.number;
    if (!fields.Next(field) || !FieldNumber(field, point.x) || !fields.Next(field) ||
        !FieldNumber(field, point.z) || !std::isfinite(point.x) || !std::isfinite(point.z)) {
      section.unreadableLine = line.number;
      return;
    }
    section.points.push_back(point);
  }
}

}  // namespace dorvane
