#include <gtest/gtest.h>

#include <fstream>

#include "app/driver/frame_job.h"
#include "geodesy/coord_system.h"
#include "gis/workspace.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

using testing::TempFolder;

std::string TemplateError(const std::string& text, const std::vector<std::string>& fields) {
  try {
    CheckNameTemplate(text, fields);
  } catch (const FramoraError& error) {
    return error.what();
  }
  return "";
}

TEST(NameTemplate, TheFieldMustBeOneThatNamesEveryFeature) {
  const std::vector<std::string> fields{"TFH", "NAME"};
  EXPECT_EQ(CheckNameTemplate("[TFH]", fields), "TFH");
  EXPECT_EQ(CheckNameTemplate("  [name]图 ", fields), "name");
  EXPECT_EQ(TemplateError("   ", fields), "字段值没有设置，所以输出图层名为空");
  EXPECT_EQ(TemplateError("[TFH", fields), "文件名格式不正确");
  EXPECT_EQ(TemplateError("TFH]", fields), "文件名格式不正确");
  EXPECT_EQ(TemplateError("]TFH[", fields), "文件名中，必须包括字段");
  EXPECT_EQ(TemplateError("[OTHER]", fields), "文件名中，必须包括字段");
  // Every layer has an object identifier, offered or not.
  EXPECT_EQ(CheckNameTemplate("图[fid]", fields), "fid");
}

TEST(NameTemplate, ALayerWithoutAnAttributeOfItsOwnPerFeatureOffersItsObjectIdentifier) {
  TempFolder folder;
  auto workspace = CreateWorkspace(OutputPath(folder.file("index.gpkg")));
  OGRLayer* layer = workspace->dataset().CreateLayer("sheets", nullptr, wkbPolygon, nullptr);
  OGRFieldDefn group("Grp", OFTString);
  ASSERT_EQ(layer->CreateField(&group), OGRERR_NONE);
  for (int i = 0; i < 2; ++i) {
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetField("Grp", "same");
    ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
  }
  EXPECT_EQ(FieldsNamingEveryFeature(*layer), std::vector<std::string>{"FID"});
  OGRFieldDefn name("TFH", OFTString);
  ASSERT_EQ(layer->CreateField(&name), OGRERR_NONE);
  layer->ResetReading();
  int n = 0;
  for (auto& feature : *layer) {
    feature->SetField("TFH", std::to_string(n++).c_str());
    ASSERT_EQ(layer->SetFeature(feature.get()), OGRERR_NONE);
  }
  EXPECT_EQ(FieldsNamingEveryFeature(*layer), std::vector<std::string>{"TFH"});
}

TEST(NameTemplate, PickingAFieldRebuildsTheTemplateAroundIt) {
  EXPECT_EQ(EditNameTemplate("", "TFH"), "[TFH]");
  EXPECT_EQ(EditNameTemplate("[A]图", "B"), "[B]图");
  EXPECT_EQ(EditNameTemplate("前[A]后", "B"), "前[B]后");
}

TEST(OutputPreparation, AnExistingOutputIsDeletedOnlyAfterOk) {
  TempFolder folder;
  const std::string gdb = folder.file("OUT.GDB");
  CreateWorkspace(OutputPath(gdb));
  RecordingUserInterface ui;
  ui.answerOk = false;
  EXPECT_FALSE(PrepareOutputGeodatabase(gdb + "/", ui));
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0], "目录" + gdb + "已存在，是否删除");
  EXPECT_TRUE(OutputPath(gdb).holdsOutput());
  ui.answerOk = true;
  EXPECT_TRUE(PrepareOutputGeodatabase(gdb, ui));
  EXPECT_FALSE(std::filesystem::exists(gdb));

  const std::string gpkg = folder.file("out.gpkg");
  CreateWorkspace(OutputPath(gpkg));
  EXPECT_TRUE(PrepareOutputGeodatabase(gpkg, ui));
  EXPECT_EQ(ui.questions.back(), "文件" + gpkg + "已存在，是否删除");
  EXPECT_FALSE(std::filesystem::exists(gpkg));
  EXPECT_TRUE(PrepareOutputGeodatabase(folder.file("new.gpkg"), ui));
  EXPECT_EQ(ui.questions.size(), 3u) << "nothing to ask about a new output";
}

TEST(OutputPreparation, WhatIsNotAnOutputIsRefusedUnaskedAndKept) {
  TempFolder folder;
  const std::string backup = folder.file("photos.gdb_backup");
  std::filesystem::create_directory(backup);
  std::ofstream(backup + "/holiday.jpg") << "x";
  const std::string bare = folder.file("bare.gdb");
  std::filesystem::create_directory(bare);
  std::ofstream(bare + "/notes.txt") << "x";
  const std::string odd = folder.file("out.gpkg");
  std::filesystem::create_directory(odd);
  const std::string text = folder.file("notes.gpkg");
  std::ofstream(text) << "x";
  RecordingUserInterface ui;
  ui.answerOk = true;
  for (const std::string& path : {backup, bare, odd, text}) {
    try {
      PrepareOutputGeodatabase(path, ui);
      ADD_FAILURE() << path;
    } catch (const FramoraError& error) {
      EXPECT_EQ(std::string(error.what()), path + "不是图廓输出数据库，不能删除");
    }
  }
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_TRUE(std::filesystem::exists(backup + "/holiday.jpg"));
  EXPECT_TRUE(std::filesystem::exists(bare + "/notes.txt"));
  EXPECT_TRUE(std::filesystem::is_directory(odd));
  EXPECT_TRUE(std::filesystem::exists(text));
}

TEST(CoordinateChoices, ARecognisedSystemSetsTheControlsAsTheWindowDoes) {
  CoordinateChoices choices;
  CoordSystemGuess projected;
  ASSERT_TRUE(RecognizeCoordSystemCode(4527, projected));
  ApplyCoordSystemGuess(projected, choices);
  EXPECT_FALSE(choices.geographic);
  EXPECT_EQ(choices.coordinateSystemIndex, 0);
  EXPECT_TRUE(choices.zoneInEasting);
  EXPECT_TRUE(choices.threeDegree);
  EXPECT_DOUBLE_EQ(choices.centralMeridian, 117);
  CoordSystemGuess beijing;
  ASSERT_TRUE(RecognizeCoordSystemCode(4214, beijing));
  ApplyCoordSystemGuess(beijing, choices);
  EXPECT_TRUE(choices.geographic);
  EXPECT_EQ(choices.coordinateSystemIndex, 2);
  EXPECT_DOUBLE_EQ(choices.centralMeridian, 117) << "a geographic system leaves the meridian";
  FrameSettings settings;
  ApplyCoordinateChoices(choices, settings);
  EXPECT_TRUE(settings.UseKrassowsky);
  EXPECT_TRUE(settings.GeographicInput);
}

}  // namespace
}  // namespace framora
