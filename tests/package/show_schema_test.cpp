// docs/show.schema.json against the reader: editors check descriptions with
// the schema, vistel-pack with the reader, and the two must not drift apart.
// The schema names exactly the keys the reader takes, refuses the others
// where the reader does, and its defaults are the reader's.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <variant>

#include "package/fields.hpp"
#include "package/show_description.hpp"

namespace vistel {
namespace {

using Json = nlohmann::json;

Json LoadSchema() {
  std::ifstream file(std::string(VISTEL_TESTS_DIR) + "/../docs/show.schema.json");
  EXPECT_TRUE(file.good()) << "expected docs/show.schema.json beside the tests";
  std::stringstream text;
  text << file.rdbuf();
  return Json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
}

template <class Table>
std::set<std::string> ReaderKeys(const Table& fields, std::set<std::string> own) {
  for (const auto& field : fields) own.insert(std::string(field.name));
  return own;
}

std::set<std::string> SchemaKeys(const Json& object) {
  std::set<std::string> keys;
  if (object.contains("properties")) {
    for (const auto& [key, value] : object["properties"].items()) keys.insert(key);
  }
  return keys;
}

TEST(ShowSchema, NamesExactlyTheKeysTheReaderTakes) {
  const Json schema = LoadSchema();
  ASSERT_TRUE(schema.is_object()) << "expected the schema to be a JSON object";
  struct Level {
    const char* name;
    const Json& object;
    std::set<std::string> reader;
  };
  const Level levels[] = {
      {"the top level", schema, ReaderKeys(kGlobalFields, {"tracks", "screens"})},
      {"a screen", schema["$defs"]["screen"],
       ReaderKeys(kScreenFields, {"background", "image", "video"})},
      {"a track", schema["$defs"]["track"], ReaderKeys(kAudioFields, {"file"})},
  };
  for (const Level& level : levels) {
    EXPECT_EQ(SchemaKeys(level.object), level.reader) << level.name;
    // The reader refuses unknown keys; an editor should say so too.
    EXPECT_EQ(level.object.value("additionalProperties", true), false) << level.name;
  }
}

// A show that spells out every default the schema gives must be the show
// that leaves them all out.
TEST(ShowSchema, DefaultsAreTheReadersDefaults) {
  const Json schema = LoadSchema();
  ASSERT_TRUE(schema.is_object());
  Json explicitShow = {{"screens", Json::array({Json::object()})},
                       {"tracks", Json::array({Json::object()})}};
  const auto spellOut = [](const Json& properties, Json& into) {
    for (const auto& [key, property] : properties.items()) {
      if (property.contains("default")) into[key] = property["default"];
    }
  };
  spellOut(schema["properties"], explicitShow);
  spellOut(schema["$defs"]["screen"]["properties"], explicitShow["screens"][0]);
  // A track's TrackFileName defaults to its file's name; a first track
  // without file and name is the "no music" track.
  spellOut(schema["$defs"]["track"]["properties"], explicitShow["tracks"][0]);
  explicitShow["tracks"][0].erase("TrackFileName");

  const auto spelt = ParseShowDescription(explicitShow.dump(), "/shows");
  ASSERT_TRUE(spelt.has_value()) << spelt.error().description << "\nin " << explicitShow.dump();
  const auto bare = ParseShowDescription(R"({"tracks": [{}], "screens": [{}]})", "/shows");
  ASSERT_TRUE(bare.has_value()) << bare.error().description;

  for (const ScreenField& field : kScreenFields) {
    EXPECT_TRUE(std::visit(
        [&](auto p) { return spelt->package.Screens[0].*p == bare->package.Screens[0].*p; },
        field.member))
        << field.name << ": the schema's default is not the reader's";
  }
  for (const GlobalField& field : kGlobalFields) {
    EXPECT_TRUE(std::visit(
        [&](auto p) { return spelt->package.Global.*p == bare->package.Global.*p; }, field.member))
        << field.name << ": the schema's default is not the reader's";
  }
  for (const AudioField& field : kAudioFields) {
    EXPECT_TRUE(std::visit(
        [&](auto p) { return spelt->package.AudioTracks[0].*p == bare->package.AudioTracks[0].*p; },
        field.member))
        << field.name << ": the schema's default is not the reader's";
  }
}

}  // namespace
}  // namespace vistel
