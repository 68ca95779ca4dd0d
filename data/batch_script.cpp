#include "data/batch_script.h"

#include <optional>
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

// The texts go into the script exactly as the code page holds them: a path that
// read back as another path would send the inversion program to another file.
class ScriptText {
 public:
  explicit ScriptText(const CodePage& codePage) : codePage_(codePage) {}

  std::string& bytes() { return bytes_; }
  void Append(std::string_view literal) { bytes_ += literal; }
  // False, with the message set, when the code page cannot represent `text`.
  bool AppendConverted(std::u16string_view text) {
    const std::optional<std::string> converted = codePage_.FromUtf16Exactly(text);
    if (!converted) {
      failure_ = u"当前代码页无法表示的文字：" + std::u16string(text);
      return false;
    }
    bytes_ += *converted;
    return true;
  }
  bool Fail(std::u16string_view message) {
    failure_ = message;
    return false;
  }
  const std::u16string& failure() const { return failure_; }

 private:
  const CodePage& codePage_;
  std::string bytes_;
  std::u16string failure_;
};

// Appends the block of one row; false when a coordinate is missing or a text
// cannot be represented.
bool AppendRowBlock(ScriptText& script, const ScriptKind& kind, int number,
                    const InputFileRow& row) {
  script.Append("File ");
  AppendInteger(script.bytes(), number);
  script.Append(" parameters\r\nName of data file in RES2DINV format\r\n");
  if (!script.AppendConverted(row.inputPath)) return false;
  script.Append("\r\n");
  script.Append(kind.locationLabel);
  if (row.firstElectrodeX.empty()) return script.Fail(u"X方向坐标参数为空");
  if (!script.AppendConverted(row.firstElectrodeX)) return false;
  if (kind.collate) {
    script.Append(",");
    if (row.firstElectrodeY.empty()) return script.Fail(u"Y方向坐标参数为空");
    if (!script.AppendConverted(row.firstElectrodeY)) return false;
    script.Append("\r\nLine direction (0=X,1=Y)\r\n");
    script.Append(Flag(row.lineDirection));
  } else {
    script.Append("\r\n");
  }
  script.Append("Line sign (0=positive,1=negative)\r\n");
  script.Append(Flag(row.lineSign));
  return true;
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

  ScriptText script(codePage);
  script.Append(kind.heading);
  int participating = 0;
  for (const InputFileRow& row : job.rows())
    if (!row.inputPath.empty()) ++participating;
  AppendInteger(script.bytes(), participating);
  script.Append("\r\n");
  if (participating <= 1) {
    ShowJobError(messages, u"创建脚本文件最少需要两个输入文件");
    return 0;
  }

  int number = 0;
  for (const InputFileRow& row : job.rows()) {
    if (row.inputPath.empty()) continue;
    if (!AppendRowBlock(script, kind, ++number, row)) {
      ShowJobError(messages, script.failure());
      return 0;
    }
  }

  script.Append(kind.outputLabel);
  if (job.outputPath().empty()) {
    ShowJobError(messages, u"请检查输出文件名");
    return 0;
  }
  if (!script.AppendConverted(job.outputPath())) {
    ShowJobError(messages, script.failure());
    return 0;
  }
  script.Append("\r\nEnd of file");

  const std::u16string scriptPath = ScriptPath(job.outputPath(), kind.fileName);
  files.SetSavePath(scriptPath);
  const std::string& text = script.bytes();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  if (files.WriteWholeFile({bytes, text.size()}) == 0) {
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
