// A medium copied out of a package is named by its content: the first bytes
// of each kind, and look-alikes that must not pass for one.
#include "media/probe/media_signature.hpp"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

namespace vistel {
namespace {

using namespace std::string_literals;

struct SignatureCase {
  const char* label;
  std::string head;
  std::string_view extension;
};

std::string Id3(std::size_t bodyBytes, bool footer) {
  std::string tag = std::string("ID3\x04\x00", 5) + static_cast<char>(footer ? 0x10 : 0);
  for (int shift : {21, 14, 7, 0}) tag += static_cast<char>((bodyBytes >> shift) & 0x7FU);
  return tag + std::string(bodyBytes + (footer ? 10 : 0), '\0');
}

TEST(MediaSignatureTest, ContentNamesItsExtension) {
  const std::string layer3 = "\xFF\xFB\x90\x64";  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz
  const std::string layer2 = "\xFF\xFD\x80\x04";  // MPEG-1 layer II
  const std::vector<SignatureCase> cases = {
      {"JPEG", "\xFF\xD8\xFF\xE0", ".jpg"},
      {"PNG", "\x89PNG\r\n\x1A\n", ".png"},
      {"BMP", "BM\x36\x00", ".bmp"},
      {"GIF", "GIF89a", ".gif"},
      {"TIFF, little-endian", std::string("II*\0", 4), ".tif"},
      {"TIFF, big-endian", std::string("MM\0*", 4), ".tif"},
      {"MPEG program stream", std::string("\0\0\1\xBA\x44", 5), ".mpg"},
      {"MPEG video sequence", std::string("\0\0\1\xB3", 4), ".mpg"},
      {"AVI", "RIFF\x10\0\0\0AVI LIST"s, ".avi"},
      {"WAV", "RIFF\x10\0\0\0WAVEfmt "s, ".wav"},
      {"RIFF MIDI", "RIFF\x10\0\0\0RMIDdata"s, ".mid"},
      {"MIDI", "MThd\0\0\0\x06"s, ".mid"},
      {"MP3 frame", layer3, ".mp3"},
      {"MP2 frame", layer2, ".mp2"},
      {"MP2 behind an ID3 tag", Id3(20, false) + layer2, ".mp2"},
      {"MP3 behind an ID3 tag with a footer", Id3(20, true) + layer3, ".mp3"},
      {"ID3 tag longer than the head", Id3(9000, false).substr(0, kMediaSignatureBytes), ".mp3"},
      {"ID3 tag followed by no frame", Id3(20, false) + "junk", ""},
      {"RIFF of another kind", "RIFF\x10\0\0\0CDXA"s, ""},
      {"sync with a reserved version", "\xFF\xEB\x90\x64", ""},
      {"sync with a reserved layer", "\xFF\xF9\x90\x64", ""},
      {"sync with a bad bit rate", "\xFF\xFB\xF0\x64", ""},
      {"MPEG frame cut short", "\xFF\xFB", ""},
      {"text", "hello, world", ""},
      {"empty", "", ""},
  };
  for (const SignatureCase& c : cases) {
    EXPECT_EQ(MediaExtension(std::as_bytes(std::span(c.head))), c.extension)
        << c.label << ": expected '" << c.extension << "'";
  }
}

}  // namespace
}  // namespace vistel
