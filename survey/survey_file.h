#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "data/data_block.h"
#include "survey/survey.h"

namespace dorvane {

// Array types as the header numbers them.
enum ArrayType : std::int32_t {
  kWennerAlpha = 1,
  kPolePole = 2,
  kDipoleDipole = 3,
  kWennerBeta = 4,
  kWennerGamma = 5,
  kPoleDipole = 6,
  kWennerSchlumberger = 7,
  kEquatorialDipoleDipole = 8,
  kGeneralArray = 11,
};

// What the header of a data file says, with the lines that said it.
struct SurveyHeader {
  std::int32_t arrayType = 0;
  std::int32_t subArray = -1;    // general array only
  std::int32_t measurement = 0;  // 0 apparent resistivity, 1 resistance
  double spacing = 0;
  double offset = 0;  // equatorial dipole-dipole: the cross-line offset b
  std::int64_t declaredCount = 0;
  std::int32_t xLocation = 0;  // index-based: 0 first electrode, 1 mid-point
  bool ip = false;
  bool errors = false;  // every data row carries an error estimate after its values
  std::uint64_t arrayTypeLine = 0, measurementLine = 0, countLine = 0, xLocationLine = 0,
                ipLine = 0;
};

// Why a header cannot be used. Unsupported: the file is understood, but how its
// rows place electrodes is not agreed on, so nothing is placed.
struct HeaderProblem {
  enum class Kind { None, Unreadable, Unsupported };
  enum class What {
    None,
    Spacing,
    ArrayType,
    SubArray,
    Measurement,
    Offset,
    Count,
    XLocation,
    IpFlag,
    UnknownArray,      // unsupported: 12, 13 or a number no reader knows
    PoleDipoleMiddle,  // unsupported: pole-dipole with mid-point x
    XLocationTwo,      // unsupported: x-location 2 (surface distance) of an index-based file
  };
  Kind kind = Kind::None;
  What what = What::None;
  std::uint64_t line = 0;
};

// One data line: a datum as the file stands, or a line that is not one.
struct DataRow {
  Datum datum;  // datum.line is set either way
  bool readable = false;
  // Index-based rows: the row's spacing and factor, which with the header fix
  // the array's shape and size; 0 for general arrays.
  double a = 0, n = 0;
};

struct TopographyPoint {
  double x = 0;
  double z = 0;
  std::uint64_t line = 0;
};

// The topography section after the data, where the file has one.
struct TopographySection {
  std::vector<TopographyPoint> points;
  std::uint64_t unreadableLine = 0;  // first row that is not "x z"; 0 none
};

// Reads a RES2DINV 2D data file front to back, a piece at a time, so that the
// caller can leave ReadGuarded between pieces: the reader owns nothing and keeps
// no pointer into the content beyond its position. Lines end in LF or CR LF;
// fields are separated by spaces, tabs and commas.
class SurveyFileReader {
 public:
  // `windows` (may be null) hears when reading moves into another window of
  // ScanWindows::kBytes.
  explicit SurveyFileReader(std::span<const std::uint8_t> content, ScanWindows* windows = nullptr);

  // First, once.
  HeaderProblem ReadHeader(SurveyHeader& header);

  // The next data rows, up to rows.size(); 0 when the data are over. The data
  // are the declared number of lines, ended early by a line that cannot be one
  // (a single number, a text, a blank line) and carried on by further lines of
  // the first row's field count. Electrodes are placed as the file stands.
  std::size_t ReadRows(std::span<DataRow> rows);
  // Passes over the data without converting them.
  void SkipRows();
  std::uint64_t rowsRead() const { return rowsRead_; }

  // After the data.
  void ReadTopography(TopographySection& section);

 private:
  struct Line {
    const std::uint8_t* begin = nullptr;
    const std::uint8_t* end = nullptr;
    std::uint64_t number = 0;
  };
  bool NextLine(Line& line);
  bool PeekLine(Line& line);
  // The next line, if it belongs to the data.
  bool NextDataLine(Line& line);
  void ParseRow(const Line& line, DataRow& row) const;
  // Passes over text lines that stand before the count: remote electrodes and the like.
  void SkipTextLines();

  const std::uint8_t* data_;
  std::size_t size_;
  ScanWindows* windows_;
  std::size_t position_ = 0;
  std::size_t nextWindow_ = 0;
  std::uint64_t lineNumber_ = 0;
  SurveyHeader header_;
  bool dataOver_ = true;
  std::uint64_t rowsRead_ = 0;
  std::size_t firstRowFields_ = 0;
};

}  // namespace dorvane
