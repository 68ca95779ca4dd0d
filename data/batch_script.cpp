#include "data/batch_script.h"

#include <string>
#include <string_view>

#include "data/decimal.h"

namespace dorvane {
namespace {

struct ScriptKind {
  std::string_view heading;
  std::string_view locationLabel;
  std::string_view outputLabel;
  std::u16string_view fileName;
  bool collate;
};

constexpr ScriptKind kConcatenation{
    "Concatenation of several data files in RES2DINV\r\nNumber of files to concatenate\r\n",
    "X location of first electrode along this line\r\n",
    "Name of Output file in RES2DINV format\r\n", u"连接为2D长断面的脚本文件.TXT", false};

constexpr ScriptKind kCollate{"Conversion of RES2DINV data files\r\nNumber of files to collate\r\n",
                              "X and Y location of first electrode along this line\r\n",
                              "Name of Output file in RES3DINV format\r\n",
                              u"核对2D到3D的脚本文件.TXT", true};

std::string_view Flag(std::int32_t value) {
  return value == 0 ? "0\r\n" : "1\r\n";
}

// Appends the block of one row; the message text when a coordinate is missing.
std::u16string_view AppendRowBlock(std::string& script, const ScriptKind& kind, int number,
                                   const InputFileRow& row, const CodePage& codePage) {
  script += "File ";
  AppendInteger(script, number);
  script += " parameters\r\nName of data file in RES2DINV format\r\n";
  script += codePage.FromUtf16(row.inputPath);
  script += "\r\n";
  script += kind.locationLabel;
  if (row.firstElectrodeX.empty()) return u"X方向坐标参数为空";
  script += codePage.FromUtf16(row.firstElectrodeX);
  if (kind.collate) {
    script += ",";
    if (row.firstElectrodeY.empty()) return u"Y方向坐标参数为空";
    script += codePage.FromUtf16(row.firstElectrodeY);
    script += "\r\nLine direction (0=X,1=Y)\r\n";
    script += Flag(row.lineDirection);
  } else {
    script += "\r\n";
  }
  script += "Line sign (0=positive,1=negative)\r\n";
  script += Flag(row.lineSign);
  return {};
}

// The script goes beside the output file: its folder with the kind's own name.
// Both separators are taken, as either may stand in a path on Windows.
std::u16string ScriptPath(std::u16string_view outputPath, std::u16string_view fileName) {
  const std::size_t separator = outputPath.find_last_of(u"\\/");
  std::u16string path(separator == std::u16string_view::npos ? std::u16string_view()
                                                             : outputPath.substr(0, separator + 1));
  path += fileName;
  return path;
}

}  // namespace

int WriteBatchScript(MergeMode mode, const MergeJob& job, FileAccess& files, MessageBoxes& messages,
                     const CodePage& codePage) {
  if (mode != MergeMode::ConcatenationScript && mode != MergeMode::CollateScript) return 0;
  const ScriptKind& kind = mode == MergeMode::CollateScript ? kCollate : kConcatenation;

  std::string script(kind.heading);
  int participating = 0;
  for (const InputFileRow& row : job.rows())
    if (!row.inputPath.empty()) ++participating;
  AppendInteger(script, participating);
  script += "\r\n";
  if (participating <= 1) {
    ShowJobError(messages, u"创建脚本文件最少需要两个输入文件");
    return 0;
  }

  int number = 0;
  for (const InputFileRow& row : job.rows()) {
    if (row.inputPath.empty()) continue;
    const std::u16string_view missing = AppendRowBlock(script, kind, ++number, row, codePage);
    if (!missing.empty()) {
      ShowJobError(messages, std::u16string(missing));
      return 0;
    }
  }

  script += kind.outputLabel;
  if (job.outputPath().empty()) {
    ShowJobError(messages, u"请检查输出文件名");
    return 0;
  }
  script += codePage.FromUtf16(job.outputPath());
  script += "\r\nEnd of file";

  const std::u16string scriptPath = ScriptPath(job.outputPath(), kind.fileName);
  files.SetSavePath(scriptPath);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(script.data());
  if (files.WriteWholeFile({bytes, script.size()}) == 0) {
    ShowJobError(messages, u"文件合并失败");
  } else {
    MessageRequest request;
    request.text = scriptPath;
    request.caption = u"文件合并成功,位置在：";
    messages.Show(request);
  }
  return 1;
}

}  // namespace dorvane
