#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <functional>
#include <sstream>

#include "settings/settings_file.h"
#include "settings/settings_stream.h"
#include "settings_test_support.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"
#include "util/gbk.h"

namespace framora {
namespace {

using testing::RawSettingsReader;

std::string Written(const std::function<void(TVeskWriteStream&)>& write) {
  std::ostringstream out;
  TVeskWriteStream stream(out);
  write(stream);
  return out.str();
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const FramoraError& error) {
    return error.what();
  }
  return "";
}

TEST(StringRecord, IsLengthThenKeyedUpperCaseHexOfTheGbkBytes) {
  // 'A' ^ 0x5A = 0x1B, 'B' ^ 0x3C = 0x7E; 宋 is CB CE in GBK.
  EXPECT_EQ(Written([](auto& s) { s.writeString("AB"); }), std::string("\x04\x00", 2) + "1B7E");
  EXPECT_EQ(ScrambleText(ToGbk("宋")), "91F2");
  EXPECT_EQ(UnscrambleText("91F2"), ToGbk("宋"));
  // The key repeats after eight bytes.
  EXPECT_EQ(ScrambleText(std::string(9, '\0')).substr(16), "5A");
}

TEST(StringRecord, UnscramblingReadsLowerCaseStopsAtABadPairAndIgnoresAnOddDigit) {
  EXPECT_EQ(UnscrambleText("1b7e"), "AB");
  EXPECT_EQ(UnscrambleText("1B7EZZ1B"), "AB");
  EXPECT_EQ(UnscrambleText("1B7E4"), "AB");
}

TEST(StringRecord, FortyThousandCharactersKeep65535DigitsAndRead32767Back) {
  const std::string text(40000, 'x');
  const std::string bytes = Written([&](auto& s) { s.writeString(text); });
  RawSettingsReader raw(bytes);
  EXPECT_EQ(raw.hexBody().size(), 65535u);
  std::istringstream in(bytes);
  EXPECT_EQ(TVeskReadStream(in).readString(), text.substr(0, 32767));
}

TEST(StringRecord, ACutChineseTextEndsOnAWholeCharacter) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "图";
  std::istringstream in(Written([&](auto& s) { s.writeString(text); }));
  const std::string back = TVeskReadStream(in).readString();
  EXPECT_EQ(ToUtf32(back).size(), 16383u);
  EXPECT_EQ(back, GbkLeft(text, 32767));
}

TEST(StringRecord, ReadingPastTheEndIsTheStreamReadError) {
  for (const std::string& bytes : {std::string(), std::string("\x01", 1), std::string("\x0A\x00" "1B7E", 6)}) {
    std::istringstream in(bytes);
    EXPECT_EQ(ErrorOf([&] { TVeskReadStream(in).readString(); }), kStreamReadError);
  }
}

TEST(FontRecord, HoldsTagColourAndTheLogfontLayout) {
  LogicalFont font;
  font.faceName = "黑体";
  font.height = -67;
  font.weight = 700;
  font.italic = true;
  font.charSet = 134;
  font.color = 0x0000FF;
  RawSettingsReader raw(Written([&](auto& s) { s.writeFont(&font); }));
  EXPECT_EQ(raw.int32(), 60u);
  EXPECT_EQ(raw.int32(), 0x0000FFu);
  EXPECT_EQ(static_cast<std::int32_t>(raw.int32()), -67);
  EXPECT_EQ(raw.int32(), 0u);  // width
  raw.int32();
  raw.int32();
  EXPECT_EQ(raw.int32(), 700u);
  EXPECT_EQ(raw.raw(8), std::string("\x01\x00\x00\x86\x00\x00\x00\x00", 8));
  EXPECT_EQ(raw.raw(32), ToGbk("黑体") + std::string(28, '\0'));
  EXPECT_TRUE(raw.atEnd());
}

TEST(FontRecord, ReadsBackTheSameFontWithALongFaceCutOnACharacter) {
  LogicalFont font;
  font.faceName = "楷体_GB2312";
  font.height = -16;
  font.underline = font.strikeOut = true;
  font.pitchAndFamily = 49;
  font.color = -2147483640;  // a system colour
  LogicalFont longFace;
  longFace.faceName = "方正小标宋简体方正小标宋简体方正小标宋简体";  // 42 GBK bytes
  std::istringstream in(Written([&](auto& s) {
    s.writeFont(&font);
    s.writeFont(&longFace);
  }));
  TVeskReadStream stream(in);
  EXPECT_EQ(stream.readFont(), font);
  EXPECT_EQ(stream.readFont()->faceName, "方正小标宋简体方正小标宋简体方");
}

TEST(FontRecord, TagZeroReadsNothingMoreAndACutOrImpossibleFontIsAnError) {
  const std::string none = Written([](auto& s) {
    s.writeFont(nullptr);
    s.writeString("next");
  });
  EXPECT_EQ(none.substr(0, 4), std::string(4, '\0'));
  std::istringstream in(none);
  TVeskReadStream stream(in);
  EXPECT_FALSE(stream.readFont());
  EXPECT_EQ(stream.readString(), "next");

  LogicalFont font;
  std::istringstream cut(Written([&](auto& s) { s.writeFont(&font); }).substr(0, 30));
  EXPECT_EQ(ErrorOf([&] { TVeskReadStream(cut).readFont(); }), kStreamReadError);
  font.height = INT_MIN;
  std::istringstream huge(Written([&](auto& s) { s.writeFont(&font); }));
  EXPECT_EQ(ErrorOf([&] { TVeskReadStream(huge).readFont(); }), kDamagedFontError);
}

TEST(ComponentRecords, SplitAtTheFirstTwoCommas) {
  EXPECT_EQ(FormatComponentRecord({"edtmian", "Text", "a,b"}), "edtmian,Text,a,b");
  EXPECT_EQ(ParseComponentRecord("edtmian,Text,a,b,,c"), (ComponentRecord{"edtmian", "Text", "a,b,,c"}));
  EXPECT_EQ(ParseComponentRecord("edtmian,Text,"), (ComponentRecord{"edtmian", "Text", ""}));
  EXPECT_FALSE(ParseComponentRecord("edtmian,Text"));
  EXPECT_FALSE(ParseComponentRecord(""));
}

TEST(ComponentRecords, LinesEndInBreakTagsOfAnyLetterCase) {
  EXPECT_EQ(LinesToValue({"P", "Q", "R"}), "P<Br>Q<Br>R<Br>");
  const std::vector<std::string> pqr = {"P", "Q", "R"};
  EXPECT_EQ(ValueToLines("P<Br>Q<Br>R<Br>"), pqr);
  EXPECT_EQ(ValueToLines("P<br>Q<BR>R<bR>"), pqr);
  EXPECT_EQ(ValueToLines("P<Br>Q<Br>R"), pqr);
  EXPECT_EQ(ValueToLines(""), std::vector<std::string>{});
  EXPECT_EQ(ValueToLines("a<Br><Br>"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(ValueToLines("a\r\nb\rc\n"), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(ComponentRecords, ComboBoxesKeepIndexAndItems) {
  EXPECT_EQ(ComboToValue({1, {".JPG", ".TIF"}}), "1^.JPG<Br>.TIF<Br>");
  EXPECT_EQ(ValueToCombo("2^X<Br>Y<Br>Z<Br>"), (ComboState{2, {"X", "Y", "Z"}}));
  EXPECT_EQ(ValueToCombo("X<br>Y<br>Z<br>"), (ComboState{0, {"X", "Y", "Z"}}));
  EXPECT_EQ(ValueToCombo("two^X<Br>"), (ComboState{0, {"X"}}));
  EXPECT_EQ(ValueToCombo("-1^X<Br>a^b<Br>"), (ComboState{-1, {"X", "a^b"}}));
  EXPECT_EQ(ValueToCombo("-1^"), (ComboState{-1, {}}));
}

// Records what the loading loop hands on; knows only the names it is given.
class RecordingSink : public SettingsRecordSink {
 public:
  std::vector<std::string> knownWindows{"FrmTkTool", "Frmset"};
  std::vector<std::string> knownButtons{"btnDFont"};
  std::vector<std::string> events;

  bool beginWindow(const std::string& window) override {
    events.push_back("window " + window);
    return std::find(knownWindows.begin(), knownWindows.end(), window) != knownWindows.end();
  }
  void componentRecord(const ComponentRecord& record) override {
    events.push_back(record.component + "|" + record.property + "|" + record.value);
  }
  bool fontButton(const std::string& button) override {
    events.push_back("button " + button);
    return std::find(knownButtons.begin(), knownButtons.end(), button) != knownButtons.end();
  }
  void buttonFont(const std::string& button, const LogicalFont& font) override {
    events.push_back("font " + button + " " + font.faceName);
  }
};

std::vector<WindowBlock> TwoWindows() {
  LogicalFont hei;
  hei.faceName = "黑体";
  return {
      WindowBlock{"FrmTkTool", {{"edtDPI", "Text", "96"}, {"CBPICType", "items", "1^.JPG<Br>.TIF<Br>"}}, {}},
      WindowBlock{"Frmset", {{"edtmian", "Text", "某, 图"}}, {{"btnDFont", hei}, {"btnXFont", std::nullopt}}},
  };
}

TEST(SettingsLayout, WindowsBehindMarkersBlocksBetweenSeparatorsAndAnEndMarker) {
  std::ostringstream out;
  WriteSettings(out, TwoWindows());
  RawSettingsReader raw(out.str());
  EXPECT_EQ(raw.text(), std::string(28, '*'));
  EXPECT_EQ(raw.text(), "FrmTkTool");
  EXPECT_EQ(raw.text(), "edtDPI,Text,96");
  EXPECT_EQ(raw.text(), "CBPICType,items,1^.JPG<Br>.TIF<Br>");
  EXPECT_EQ(raw.text(), std::string(18, '-'));
  EXPECT_EQ(raw.text(), std::string(18, '-'));
  EXPECT_EQ(raw.text(), std::string(28, '*'));
  EXPECT_EQ(raw.text(), "Frmset");
  EXPECT_EQ(raw.text(), "edtmian,Text,某, 图");
  EXPECT_EQ(raw.text(), std::string(18, '-'));
  EXPECT_EQ(raw.text(), "btnDFont");
  EXPECT_EQ(raw.int32(), 60u);
  raw.raw(64);
  EXPECT_EQ(raw.text(), "btnXFont");
  EXPECT_EQ(raw.int32(), 0u);
  EXPECT_EQ(raw.text(), std::string(18, '-'));
  EXPECT_EQ(raw.text(), std::string(21, '|'));
  EXPECT_TRUE(raw.atEnd());
}

TEST(SettingsLoading, HandsOnRecordsAndStopsAtTheFirstUnknownName) {
  std::ostringstream out;
  WriteSettings(out, TwoWindows());
  std::istringstream in(out.str());
  RecordingSink sink;
  ReadSettings(in, sink);
  const std::vector<std::string> expected = {
      "window FrmTkTool", "edtDPI|Text|96",    "CBPICType|items|1^.JPG<Br>.TIF<Br>", "window Frmset",
      "edtmian|Text|某, 图", "button btnDFont", "font btnDFont 黑体",                 "button btnXFont"};
  EXPECT_EQ(sink.events, expected);

  in = std::istringstream(out.str());
  RecordingSink noDialog;
  noDialog.knownWindows = {"FrmTkTool"};
  ReadSettings(in, noDialog);
  EXPECT_EQ(noDialog.events.back(), "window Frmset");
}

TEST(SettingsLoading, AFileWhoseFirstWindowIsUnknownIsUnrecognised) {
  std::ostringstream out;
  WriteSettings(out, TwoWindows());
  std::istringstream in(out.str());
  RecordingSink noTool;
  noTool.knownWindows = {"Frmset"};
  EXPECT_EQ(ErrorOf([&] { ReadSettings(in, noTool); }), kUnrecognisedSettings);
  EXPECT_EQ(noTool.events, std::vector<std::string>{"window FrmTkTool"});

  // All zeros: an empty name where the first window belongs.
  std::istringstream zeros(std::string(64, '\0'));
  RecordingSink sink;
  sink.knownWindows = {"Frmset"};
  EXPECT_EQ(ErrorOf([&] { ReadSettings(zeros, sink); }), kUnrecognisedSettings);

  // Only the end marker is a file with nothing in it, not a strange one.
  std::ostringstream empty;
  WriteSettings(empty, {});
  std::istringstream emptyIn(empty.str());
  EXPECT_EQ(ErrorOf([&] { ReadSettings(emptyIn, sink); }), "");
}

TEST(SettingsLoading, TakesAWindowNameWithoutItsMarker) {
  std::ostringstream out;
  TVeskSaveSet stream(out);
  stream.writeString("Frmset");
  stream.writeWindow(WindowBlock{"Frmset", {{"a", "Text", "1"}}, {}});
  stream.writeString("x,y");
  stream.writeString(kFileEnd);
  // The record "x,y" sits where the next window's name belongs: no window of that name.
  std::istringstream in(out.str());
  RecordingSink sink;
  ReadSettings(in, sink);
  EXPECT_EQ(sink.events, (std::vector<std::string>{"window Frmset", "a|Text|1", "window x,y"}));
}

TEST(SettingsLoading, ACutFileReportsTheReadErrorAfterHandingOnWhatCameBefore) {
  std::ostringstream out;
  WriteSettings(out, TwoWindows());
  const std::string bytes = out.str();
  std::istringstream in(bytes.substr(0, bytes.size() / 2));
  RecordingSink sink;
  EXPECT_EQ(ErrorOf([&] { ReadSettings(in, sink); }), kStreamReadError);
  ASSERT_GE(sink.events.size(), 2u);
  EXPECT_EQ(sink.events[1], "edtDPI|Text|96");
}

TEST(SettingsFile, AFileThatCannotBeCreatedSavesNothing) {
  testing::TempFolder folder;
  const std::string missingFolder = folder.file("none/x.set");
  EXPECT_EQ(ErrorOf([&] { WriteSettingsFile(missingFolder, TwoWindows()); }),
            "无法创建文件 " + missingFolder + "：文件夹不存在");
  EXPECT_FALSE(std::filesystem::exists(missingFolder));
}

TEST(SettingsFile, LiesBesideTheExecutableUnderItsName) {
  EXPECT_EQ(std::filesystem::path(SettingsFilePath()).filename(), "framora_tests_settings.set");
}

TEST(SettingsFile, ASaveThatFailsKeepsThePreviousGoodFile) {
  testing::TempFolder folder;
  const std::string path = folder.file("framora.set");
  WriteSettingsFile(path, TwoWindows());
  const auto good = std::filesystem::file_size(path);
  EXPECT_FALSE(std::filesystem::exists(folder.file("framora.framora-tmp.set"))) << "nothing left aside";
  // The temporary file cannot be made: the save fails and the good file stays as it was.
  std::filesystem::create_directory(folder.file("framora.framora-tmp.set"));
  EXPECT_THROW(WriteSettingsFile(path, {}), FramoraError);
  EXPECT_EQ(std::filesystem::file_size(path), good);
}

}  // namespace
}  // namespace framora
