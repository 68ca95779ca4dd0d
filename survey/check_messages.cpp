#include "survey/check_messages.h"

#include <charconv>
#include <cmath>

namespace dorvane::check_messages {
namespace {

std::u16string Ascii(std::string_view text) {
  return {text.begin(), text.end()};
}

std::u16string Consequence(MergeMode mode) {
  return mode == MergeMode::LongProfileMerge ? u"，合并后的数据将被误读"
                                             : u"，反演程序连接这些文件时将误读数据";
}

std::u16string Versus(const std::u16string& theirs, const std::u16string& ours) {
  return u"（" + theirs + u" vs " + ours + u"）";
}

std::u16string Input(std::uint32_t other) {
  return u"第" + Count(other) + u"个文件";
}

std::u16string HasOrNot(bool has) {
  return has ? u"有" : u"无";
}

std::u16string XLocationName(std::int32_t type) {
  switch (type) {
    case 0:
      return u"首电极";
    case 1:
      return u"中点";
    default:
      return Count(static_cast<std::uint64_t>(type));
  }
}

std::u16string MeasurementName(std::int32_t measurement) {
  return measurement == 1 ? u"电阻" : u"视电阻率";
}

}  // namespace

std::u16string ArrayName(std::int32_t type) {
  switch (type) {
    case kWennerAlpha:
      return u"温纳α";
    case kPolePole:
      return u"二极";
    case kDipoleDipole:
      return u"偶极-偶极";
    case kWennerBeta:
      return u"温纳β";
    case kWennerGamma:
      return u"温纳γ";
    case kPoleDipole:
      return u"三极";
    case kWennerSchlumberger:
      return u"温纳-斯伦贝谢尔";
    case kEquatorialDipoleDipole:
      return u"赤道偶极-偶极";
    case kGeneralArray:
      return u"一般阵列";
    case 12:
    case 13:
      return u"跨孔";
    default:
      return u"类型" + Count(static_cast<std::uint64_t>(std::max(type, 0)));
  }
}

std::u16string Number(double value) {
  if (!std::isfinite(value)) return u"?";
  char buffer[64];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
  if (error != std::errc{}) return u"?";
  while (end[-1] == '0') --end;
  if (end[-1] == '.') --end;
  std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
  if (text == "-0") text = "0";
  return Ascii(text);
}

std::u16string Count(std::uint64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return Ascii({buffer, static_cast<std::size_t>(result.ptr - buffer)});
}

std::u16string NotRead(const std::u16string& systemText) {
  return u"无法读取文件：" + systemText;
}

std::u16string UnreadableHeader(HeaderProblem::What what) {
  using What = HeaderProblem::What;
  std::u16string expected;
  switch (what) {
    case What::Spacing:
      expected = u"单位电极距（正数）";
      break;
    case What::ArrayType:
      expected = u"阵列类型";
      break;
    case What::SubArray:
      expected = u"一般阵列的子阵列类型";
      break;
    case What::Measurement:
      expected = u"数据类型（0视电阻率，1电阻）";
      break;
    case What::Offset:
      expected = u"赤道偶极的横向偏移b";
      break;
    case What::Count:
      expected = u"数据点数";
      break;
    case What::XLocation:
      expected = u"x坐标类型";
      break;
    default:
      expected = u"激电标志（0或1）";
      break;
  }
  return u"文件头此行应为" + expected + u"，无法读取，文件中的数据未读";
}

std::u16string Unsupported(HeaderProblem::What what, std::int32_t arrayType) {
  using What = HeaderProblem::What;
  if (what == What::PoleDipoleMiddle)
    return u"三极装置的x坐标为中点，各软件对其理解不一，数据未放置";
  if (what == What::XLocationTwo)
    return u"x坐标类型为2（地表距离），各软件对其理解不一，数据未放置";
  return u"不支持的阵列类型（" + ArrayName(arrayType) + u"），数据未放置";
}

std::u16string UnreadableLines(std::uint64_t count, std::int32_t arrayType) {
  return u"数据行不符合" + ArrayName(arrayType) + u"的格式，无法读取（本文件共" + Count(count) +
         u"行，此为第一行）";
}

std::u16string UnreadableTopography() {
  return u"地形数据行应为“x z”，无法读取";
}

std::u16string CountMismatch(std::int64_t declared, std::uint64_t read) {
  return u"文件头声明" + Count(static_cast<std::uint64_t>(declared)) + u"个数据点，实际读到" +
         Count(read) + u"个";
}

std::u16string BadValues(std::uint64_t count, bool resistance) {
  return (resistance ? u"电阻值不是有限数（共" : u"视电阻率小于等于0或不是有限数（共") +
         Count(count) + u"个，此为第一个）";
}

std::u16string MergeSkips(bool crLf) {
  return crLf ? u"合并时将跳过此文件：找不到连续的数据行（非反演格式或格式错误）"
              : u"合并时将跳过此文件：行尾不是CR LF（Windows格式），找不到数据行";
}

std::u16string MergeDropsLines(std::uint64_t copied, std::uint64_t rows) {
  return u"合并只复制此行之前的" + Count(copied) + u"个数据行（共" + Count(rows) +
         u"行）：此行的列数不同或含有字母，其后的数据将丢失";
}

std::u16string OffGrid(std::uint64_t count, double spacing, std::uint32_t gridOf) {
  return Count(count) + u"个电极不在" + Input(gridOf) + u"的电极网格上（电极距" + Number(spacing) +
         u"米，偏离超过1%，此为第一个）";
}

std::u16string ArrayMismatch(std::uint32_t other, std::int32_t theirs, std::int32_t ours,
                             MergeMode mode) {
  return u"阵列类型与" + Input(other) + u"不同" + Versus(ArrayName(theirs), ArrayName(ours)) +
         Consequence(mode);
}

std::u16string IpMismatch(std::uint32_t other, bool theirs, bool ours, MergeMode mode) {
  return u"激电（IP）数据与" + Input(other) + u"不同" + Versus(HasOrNot(theirs), HasOrNot(ours)) +
         Consequence(mode);
}

std::u16string MeasurementMismatch(std::uint32_t other, std::int32_t theirs, std::int32_t ours,
                                   MergeMode mode) {
  return u"数据类型与" + Input(other) + u"不同" +
         Versus(MeasurementName(theirs), MeasurementName(ours)) + Consequence(mode);
}

std::u16string XLocationMismatch(std::uint32_t other, std::int32_t theirs, std::int32_t ours,
                                 MergeMode mode) {
  return u"x坐标类型与" + Input(other) + u"不同" +
         Versus(XLocationName(theirs), XLocationName(ours)) + Consequence(mode);
}

std::u16string ErrorColumnMismatch(std::uint32_t other, bool theirs, bool ours, MergeMode mode) {
  return u"误差估计列与" + Input(other) + u"不同" + Versus(HasOrNot(theirs), HasOrNot(ours)) +
         Consequence(mode);
}

std::u16string SpacingMismatch(std::uint32_t other, double theirs, double ours) {
  return u"单位电极距与" + Input(other) + u"不同" + Versus(Number(theirs), Number(ours));
}

std::u16string SamePlace(std::uint32_t other, double share, double from, double to) {
  return u"电极范围有" + Number(std::floor(share * 100)) + u"%与" + Input(other) + u"重合（" +
         Number(from) + u"～" + Number(to) + u"米），可能未平移";
}

std::u16string Gap(double from, double to, double spacing) {
  return u"与前面的测线之间" + Number(from) + u"～" + Number(to) + u"米（" +
         Number((to - from) / spacing) + u"个电极距）没有测量";
}

std::u16string DuplicateDisagree(std::uint32_t other, std::uint64_t disagreeing,
                                 std::uint64_t duplicates, double medianRatio) {
  return u"与" + Input(other) + u"有" + Count(duplicates) + u"个电极位置相同的测点，其中" +
         Count(disagreeing) + u"个数值相差超过10%（本文件/" + Input(other) + u"比值中位数" +
         Number(medianRatio) + u"）";
}

std::u16string TopographyShort(double from, double to, double spanFrom, double spanTo) {
  return u"地形数据（" + Number(from) + u"～" + Number(to) + u"米）没有覆盖电极范围（" +
         Number(spanFrom) + u"～" + Number(spanTo) + u"米）";
}

std::u16string TopographyOrder(std::int32_t tableRow) {
  std::u16string where =
      tableRow > 0 ? u"地形表第" + Count(static_cast<std::uint64_t>(tableRow)) + u"行" : u"此行";
  return where + u"的位置没有比上一点大，地形点应按位置递增";
}

}  // namespace dorvane::check_messages
