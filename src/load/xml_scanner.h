// A streaming XML scanner for the few OOXML parts the reader needs: no DTD, the five predefined
// entities and character references only, bounded nesting and tag sizes, prefixes ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "load/zip.h"

namespace morvane {

struct XmlLimits {
  std::size_t maximumDepth = 256;
  std::size_t maximumTagSize = 1 << 20;
  std::size_t maximumTextSize = 16 << 20;
  std::size_t maximumAttributes = 512;
};

class XmlScanner {
 public:
  enum class Event { StartElement, EndElement, Text, End, Error };

  explicit XmlScanner(ByteStream& source, XmlLimits limits = {});

  Event Next();

  // The local name (prefix dropped) of the element just started or ended.
  std::string_view Name() const { return name_; }
  // The decoded value of the current start element's attribute with this local name; valid until
  // the next call. Namespace declarations are never matched.
  std::optional<std::string_view> Attribute(std::string_view localName);
  // The decoded text of a Text event (one run between tags, or one CDATA section).
  const std::string& Text() const { return text_; }
  // Depth of the current element: 1 for the root while it is open.
  std::size_t Depth() const { return depth_; }
  // When false, text between tags is skipped without Text events (faster for elements not read).
  void WantText(bool want) { wantText_ = want; }
  // Why the scanner stopped with Error; the stream's own error is reported by the stream.
  const std::string& ErrorDetail() const { return error_; }
  bool SourceFailed() const { return sourceFailed_; }

 private:
  struct AttributeSpan {
    const char* name;
    std::size_t nameSize;
    const char* value;
    std::size_t valueSize;
  };

  Event Fail(std::string why);
  // Reads more bytes, keeping those from keepFrom on; false at the end of the source or on error.
  bool Fill(std::size_t keepFrom, std::size_t& shift);
  bool EnsureAvailable(std::size_t count);
  bool SkipPast(std::string_view terminator);
  Event ReadText();
  Event ReadCdata();
  Event ReadTag();
  // Appends decoded characters; returns how many raw bytes were used (a partial reference at the
  // end stays when more may follow).
  bool DecodeInto(std::string& out, const char* begin, const char* end, bool final, std::size_t& used);

  ByteStream& source_;
  XmlLimits limits_;
  std::vector<char> buffer_;
  std::size_t position_ = 0;
  std::size_t end_ = 0;
  bool sourceEnded_ = false;
  bool sourceFailed_ = false;
  bool wantText_ = true;
  bool pendingEnd_ = false;
  bool failed_ = false;
  std::size_t depth_ = 0;
  std::string_view name_;
  std::string selfClosingName_;
  std::vector<AttributeSpan> attributes_;
  std::string text_;
  std::string attributeValue_;
  std::string error_;
};

// Appends a code point as UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);

}  // namespace morvane
