#include <gtest/gtest.h>

#include "GalogFile.h"
#include "TelemetryFixture.h"

TEST(GalogFile, RunDayAndVersion) {
  TempDir dir;
  const std::string path = dir / "galog.json";
  const CalendarDay monday{2024, 3, 4};
  const CalendarDay tuesday{2024, 3, 5};
  struct Step {
    const char* what;
    const char* before;  // file content to put first; null keeps the file
    CalendarDay day;
    bool isNew;
  } steps[] = {
      {"no file", nullptr, monday, true},
      {"same day, same run", nullptr, monday, false},
      {"same day, later run", nullptr, monday, false},
      {"new day", nullptr, tuesday, true},
      {"unparsable file", "{year: garbage", tuesday, true},
      {"after the rewrite", nullptr, tuesday, false},
      {"date as texts", R"({"year":"2024","month":"3","day":"5"})", tuesday, true},
  };
  for (const auto& s : steps) {
    if (s.before != nullptr) dir.Write("galog.json", s.before);
    EXPECT_EQ(MarkRunDay(path, s.day), s.isNew) << s.what;
    const Json::Value stored = ParseJson(dir.Read("galog.json"));
    EXPECT_EQ(stored["day"].asInt(), s.day.day) << s.what;
  }
}

TEST(GalogFile, EachWriterKeepsTheOthersMembers) {
  TempDir dir;
  const std::string path = dir / "galog.json";
  RecordVersion(path, "1.0.0.1");
  EXPECT_EQ(ParseJson(dir.Read("galog.json"))["version"].asString(), "1.0.0.1");
  EXPECT_TRUE(MarkRunDay(path, {2024, 1, 2}));
  RecordVersion(path, "1.0.0.2");
  const Json::Value after = ParseJson(dir.Read("galog.json"));
  EXPECT_EQ(after["version"].asString(), "1.0.0.2");
  EXPECT_EQ(after["year"].asInt(), 2024);
  EXPECT_TRUE(MarkRunDay(path, {2024, 1, 3}));
  EXPECT_EQ(ParseJson(dir.Read("galog.json"))["version"].asString(), "1.0.0.2");
  const std::string text = dir.Read("galog.json");
  EXPECT_EQ(text.find("\t"), 2u);  // styled: tab indentation
}

TEST(GalogFile, VersionUnchangedLeavesTheFileAlone) {
  TempDir dir;
  const std::string path = dir / "galog.json";
  dir.Write("galog.json", "{ \"version\" : \"2.0\", \"extra\" : 1 }");
  RecordVersion(path, "2.0");
  EXPECT_EQ(dir.Read("galog.json"), "{ \"version\" : \"2.0\", \"extra\" : 1 }");
  dir.Write("galog.json", "{ \"version\" : 2 }");
  RecordVersion(path, "2.0");
  EXPECT_EQ(ParseJson(dir.Read("galog.json"))["version"].asString(), "2.0");
}
