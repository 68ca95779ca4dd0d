#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "survey/survey_file.h"

namespace dorvane {
namespace {

// Where a row's electrodes go: C1 C2 P1 P2, NaN for an absent one.
using Positions = std::array<double, 4>;
constexpr double kAbsent = kNoValue;

struct RowCase {
  const char* name;
  const char* header;  // lines 2 to the IP flag, "\n" separated
  const char* row;
  Positions expected;
};

// One row per array type and convention: x = 10, a = 2.
const RowCase kRows[] = {
    {"wenner_alpha", "2\n1\n2\n0\n0", "10 2 100", {10, 16, 12, 14}},
    {"wenner_alpha_middle", "2\n1\n2\n1\n0", "10 2 100", {7, 13, 9, 11}},
    {"wenner_beta", "2\n4\n2\n0\n0", "10 2 100", {12, 10, 14, 16}},
    {"wenner_gamma", "2\n5\n2\n0\n0", "10 2 100", {10, 14, 12, 16}},
    {"pole_pole", "2\n2\n2\n0\n0", "10 2 100", {10, kAbsent, 12, kAbsent}},
    {"pole_pole_middle", "2\n2\n2\n1\n0", "10 2 100", {9, kAbsent, 11, kAbsent}},
    {"dipole_dipole", "2\n3\n2\n0\n0", "10 2 3 100", {12, 10, 18, 20}},
    {"dipole_dipole_middle", "2\n3\n2\n1\n0", "10 2 3 100", {7, 5, 13, 15}},
    {"schlumberger", "2\n7\n2\n0\n0", "10 2 2 100", {10, 20, 14, 16}},
    {"schlumberger_middle", "2\n7\n2\n1\n0", "10 2 2 100", {5, 15, 9, 11}},
    {"pole_dipole", "2\n6\n2\n0\n0", "10 2 2 100", {10, kAbsent, 14, 16}},
    {"pole_dipole_reversed", "2\n6\n2\n0\n0", "10 2 -2 100", {16, kAbsent, 12, 10}},
    {"equatorial", "2\n8\n3\n2\n0\n0", "10 2 100", {10, 10, 12, 12}},
    {"general_four",
     "1\n11\n0\nType of measurement (0=app. resistivity,1=resistance)\n0\n2\n0\n0",
     "4 10 0 16 0 12 0 14 0 100",
     {10, 16, 12, 14}},
    {"general_three",
     "1\n11\n0\nType of measurement\n0\n2\n0\n0",
     "3 10 0 12 0 14 0 100",
     {10, kAbsent, 12, 14}},
    {"general_two",
     "1\n11\n0\nType of measurement\n0\n2\n0\n0",
     "2 10 1.5 12 2.5 100",
     {10, kAbsent, 12, kAbsent}},
    // Two pole-pole remote electrodes before the count.
    {"remote_electrodes",
     "2\n2\nRemote electrodes included\nC2 remote electrode X, Y and Z location\n-25,10,0\n"
     "P2 remote electrode X, Y and Z location\n60,0,0\nExact Geometric factor used\n2\n0\n0",
     "10 2 100",
     {10, kAbsent, 12, kAbsent}},
};

// How a row is written: separators, line ends, IP, error estimates, extra columns.
struct Form {
  const char* name;
  const char* separator;
  const char* lineEnd;
  bool ip;
  bool errors;
  bool extraColumns;
};

const Form kForms[] = {
    {"spaces_lf", " ", "\n", false, false, false},
    {"tabs_crlf", "\t", "\r\n", false, false, false},
    {"commas_ip", ",", "\r\n", true, false, false},
    {"padded_errors", "   ", "\n", false, true, false},
    {"ip_errors_extra", ", ", "\r\n", true, true, true},
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// A file of two rows in `form`: the case's row and the same row 5 m further.
std::string FileOf(const RowCase& c, const Form& form) {
  std::string header = c.header;
  // The IP flag is the header's last line; the count declares the two rows.
  header.back() = form.ip ? '1' : '0';
  if (form.ip) header += "\nChargeability\nmV/V\n0.1,0.2";
  if (form.errors)
    header += "\nError estimate for data present\nType of error estimate (0=same unit as data)\n1";
  std::string row = c.row;
  if (form.ip) row += " 7.5";
  if (form.errors) row += " 0.03";
  if (form.extraColumns) row += " 1.25 0.5";
  const std::size_t first = row.find(' ');
  std::string second = row;
  const bool general = std::string(c.header).find("\n11\n") != std::string::npos;
  if (!general)
    second.replace(0, first, std::to_string(std::stod(row.substr(0, first)) + 5).substr(0, 4));
  std::string text =
      "Title, with a comma\n" + header + "\n" + row + "\n" + second + "\n0\n0\n0\n0\n";
  text = Replace(text, "\n", "\x01");
  text = Replace(text, " ", form.separator);
  text = Replace(text, "\x01", form.lineEnd);
  return text;
}

std::vector<DataRow> ReadAll(const std::string& text, SurveyHeader& header,
                             HeaderProblem& problem) {
  SurveyFileReader reader({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  problem = reader.ReadHeader(header);
  std::vector<DataRow> rows(3);
  rows.resize(problem.kind == HeaderProblem::Kind::None ? reader.ReadRows(rows) : 0);
  return rows;
}

TEST(SurveyReader, PlacesEveryArrayInEveryForm) {
  for (const RowCase& c : kRows) {
    for (const Form& form : kForms) {
      SCOPED_TRACE(std::string(c.name) + " " + form.name);
      SurveyHeader header;
      HeaderProblem problem;
      const std::vector<DataRow> rows = ReadAll(FileOf(c, form), header, problem);
      ASSERT_EQ(problem.kind, HeaderProblem::Kind::None);
      EXPECT_EQ(header.ip, form.ip);
      EXPECT_EQ(header.errors, form.errors);
      ASSERT_EQ(rows.size(), 2u);
      const Datum& datum = rows[0].datum;
      ASSERT_TRUE(rows[0].readable);
      for (int role = 0; role < 4; ++role) {
        const Electrode& e = datum.electrodes[role];
        EXPECT_EQ(e.present, !std::isnan(c.expected[role])) << "role " << role;
        if (e.present) {
          EXPECT_DOUBLE_EQ(e.x, c.expected[role]) << "role " << role;
        }
      }
      EXPECT_EQ(datum.value, 100);
      if (form.ip)
        EXPECT_EQ(datum.ip, 7.5);
      else
        EXPECT_TRUE(std::isnan(datum.ip));
      EXPECT_TRUE(rows[1].readable);
    }
  }
}

TEST(SurveyReader, GeneralArrayKeepsElectrodeElevations) {
  SurveyHeader header;
  HeaderProblem problem;
  const auto rows = ReadAll(FileOf(kRows[15], kForms[0]), header, problem);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].datum.electrodes[kC1].z, 1.5);
  EXPECT_EQ(rows[0].datum.electrodes[kP1].z, 2.5);
}

struct HeaderCase {
  const char* name;
  const char* text;
  HeaderProblem::Kind kind;
  HeaderProblem::What what;
  std::uint64_t line;
};

const HeaderCase kHeaders[] = {
    {"spacing_text", "t\nabc\n1\n2\n0\n0\n", HeaderProblem::Kind::Unreadable,
     HeaderProblem::What::Spacing, 2},
    {"count_missing", "t\n1\n1\n", HeaderProblem::Kind::Unreadable, HeaderProblem::What::Count, 4},
    {"ip_flag_two", "t\n1\n1\n2\n0\n2\n", HeaderProblem::Kind::Unreadable,
     HeaderProblem::What::IpFlag, 6},
    {"cross_borehole", "t\n1\n12\n2\n0\n0\n", HeaderProblem::Kind::Unsupported,
     HeaderProblem::What::UnknownArray, 3},
    {"surface_distance", "t\n1\n1\n2\n2\n0\n", HeaderProblem::Kind::Unsupported,
     HeaderProblem::What::XLocationTwo, 5},
    {"pole_dipole_middle", "t\n1\n6\n2\n1\n0\n", HeaderProblem::Kind::Unsupported,
     HeaderProblem::What::PoleDipoleMiddle, 5},
};

TEST(SurveyReader, SaysWhichHeaderLineItCannotUse) {
  for (const HeaderCase& c : kHeaders) {
    SCOPED_TRACE(c.name);
    SurveyHeader header;
    HeaderProblem problem;
    ReadAll(c.text, header, problem);
    EXPECT_EQ(problem.kind, c.kind);
    EXPECT_EQ(problem.what, c.what);
    EXPECT_EQ(problem.line, c.line);
  }
}

// The declared count governs; a line that cannot be a row ends the data early,
// rows of the first row's width carry them on; a row that is not one for the
// array is unreadable but counted.
TEST(SurveyReader, DataEndAsTheCountAndTheRowsSay) {
  struct Case {
    const char* name;
    const char* data;
    std::vector<bool> readable;
  };
  const Case cases[] = {
      {"as_declared", "1 1 10\n2 1 11\n3 1 12\n2\n2\n0 5\n9 5\n1\n", {true, true, true}},
      {"fewer", "1 1 10\n2 1 11\n0\n0\n", {true, true}},
      {"more", "1 1 10\n2 1 11\n3 1 12\n4 1 13\n0\n", {true, true, true, true}},
      {"bad_row", "1 1 10\n2 x 11\n3 1 12\n0\n", {true, false, true}},
      {"short_row", "1 1 10\n2 1\n3 1 12\n0\n", {true, false, true}},
      {"exponent", "1 1 1.5E-3\n2 1 +11\n3 1 1e2\n0\n", {true, true, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = std::string("t\n1\n1\n3\n0\n0\n") + c.data;
    SurveyFileReader reader({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    SurveyHeader header;
    ASSERT_EQ(reader.ReadHeader(header).kind, HeaderProblem::Kind::None);
    std::vector<DataRow> rows(2);  // smaller than the data: read in pieces
    std::vector<bool> readable;
    for (std::size_t n; (n = reader.ReadRows(rows)) > 0;)
      for (std::size_t i = 0; i < n; ++i) readable.push_back(rows[i].readable);
    EXPECT_EQ(readable, c.readable);
    EXPECT_EQ(reader.rowsRead(), c.readable.size());
  }
}

TEST(SurveyReader, ReadsTheTopographyAfterTheData) {
  const std::string text =
      "t\r\n1\r\n1\r\n2\r\n0\r\n0\r\n0 1 10\r\n1 1 11\r\nTopography in separate list\r\n"
      "2\r\n3\r\n-1, 100\r\n2\t101.5\r\n5 99\r\n1\r\n0\r\n0\r\n";
  SurveyFileReader reader({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  SurveyHeader header;
  ASSERT_EQ(reader.ReadHeader(header).kind, HeaderProblem::Kind::None);
  TopographySection section;
  reader.ReadTopography(section);
  ASSERT_EQ(section.points.size(), 3u);
  EXPECT_EQ(section.points[0].x, -1);
  EXPECT_EQ(section.points[1].z, 101.5);
  EXPECT_EQ(section.points[2].line, 14u);
  EXPECT_EQ(section.unreadableLine, 0u);
}

}  // namespace
}  // namespace dorvane
