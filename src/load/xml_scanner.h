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
  // Skips what is left of the element most recently started, through its end tag, without
  // reporting it: the fast way past content that is not read. False when the input is refused.
  bool SkipRest();
  // Right after a StartElement: appends the element's text to out and, when the element holds
  // nothing but text, consumes its end tag and returns true. False leaves the scanner before the
  // first child (or on an error), to go on with Next.
  bool ReadContent(std::string& out);
  // Raw access for hand-written fast paths over regular content: the bytes from the current
  // position (at least count of them unless the part ends; empty while an element is pending its
  // end). Consume moves past bytes the caller took as balanced elements.
  std::string_view Peek(std::size_t count);
  void Consume(std::size_t count) { position_ += count; }
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
  Event ReadText(std::string& out);
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
  std::vector<AttributeSpan> attributes_;
  std::string text_;
  std::string attributeValue_;
  std::string error_;
};

}  // namespace morvane
