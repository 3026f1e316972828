// The XML scanner: the same events however the bytes arrive, and hostile input refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "load/xml_scanner.h"

namespace morvane {
namespace {

// Hands the text over at most chunk bytes at a time.
class ChunkStream : public ByteStream {
 public:
  ChunkStream(std::string text, std::size_t chunk) : text_(std::move(text)), chunk_(chunk) {}
  int64_t Read(unsigned char* out, std::size_t capacity) override {
    const std::size_t count = std::min({capacity, chunk_, text_.size() - at_});
    std::memcpy(out, text_.data() + at_, count);
    at_ += count;
    return static_cast<int64_t>(count);
  }

 private:
  std::string text_;
  std::size_t chunk_;
  std::size_t at_ = 0;
};

// Events as text: "<name a=v>" for starts (attributes asked by name), "</name>", "[text]", and
// "ERROR" at the end when the scanner refused the input.
std::string Events(const std::string& xml, std::size_t chunk, XmlLimits limits = {}) {
  ChunkStream stream(xml, chunk);
  XmlScanner scanner(stream, limits);
  std::string events;
  for (;;) {
    switch (scanner.Next()) {
      case XmlScanner::Event::StartElement:
        events += "<" + std::string(scanner.Name());
        for (const char* name : {"r", "t", "v"})
          if (auto value = scanner.Attribute(name))
            events += " " + std::string(name) + "=" + std::string(*value);
        events += ">";
        break;
      case XmlScanner::Event::EndElement:
        events += "</" + std::string(scanner.Name()) + ">";
        break;
      case XmlScanner::Event::Text:
        events += "[" + scanner.Text() + "]";
        break;
      case XmlScanner::Event::End:
        return events;
      case XmlScanner::Event::Error:
        return events + "ERROR";
    }
  }
}

TEST(XmlScanner, SameEventsWhateverTheChunkSize) {
  const std::string xml =
      "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<x:sheet xmlns:x=\"urn:a\" xmlns:r=\"urn:b\">"
      "<!-- a comment with <tags> -->"
      "<x:c r:r=\"A&amp;1\" t='s' v=\"a>b\"><x:v>1 &lt; 2 &#x5F20;&#65;\r\nz</x:v></x:c>"
      "<c r=\"B2\"/><t><![CDATA[<raw> & ]]]></t><?pi stuff?></x:sheet>";
  const std::string whole = Events(xml, xml.size());
  EXPECT_EQ(whole,
            "[\xEF\xBB\xBF][\n]<sheet><c r=A&1 t=s v=a>b><v>[1 < 2 \xE5\xBC\xA0"
            "A\nz]</v></c><c r=B2></c><t>[<raw> & ]]</t></sheet>");
  for (std::size_t chunk : {1, 2, 3, 5, 13}) {
    SCOPED_TRACE(chunk);
    EXPECT_EQ(Events(xml, chunk), whole);
  }
}

TEST(XmlScanner, HostileInputIsRefused) {
  struct Case {
    const char* what;
    std::string xml;
  } cases[] = {
      {"a document type", "<!DOCTYPE a [<!ENTITY x \"xx\">]><a>&x;</a>"},
      {"an undeclared entity", "<a>&x;</a>"},
      {"a reference to NUL", "<a>&#0;</a>"},
      {"a reference past Unicode", "<a>&#x110000;</a>"},
      {"nesting too deep",
       [] {
         std::string deep;
         for (int i = 0; i < 300; ++i) deep += "<a>";
         return deep;
       }()},
      {"a part that ends inside an element", "<a><b>text"},
      {"a part that ends inside a tag", "<a><b r=\"1"},
      {"an end tag without a start", "</a>"},
      {"an unquoted attribute", "<a r=1/>"},
      {"an unterminated comment", "<a><!-- "},
      {"a tag past the bound", "<a r=\"" + std::string(5000, 'x') + "\"/>"},
  };
  XmlLimits limits;
  limits.maximumTagSize = 1024;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string events = Events(c.xml, 7, limits);
    EXPECT_TRUE(events.ends_with("ERROR")) << events;
  }
}

}  // namespace
}  // namespace morvane
