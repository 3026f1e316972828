// Streaming XML scanning over a byte stream, in a buffer that grows only to the largest tag.
#include "load/xml_scanner.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage936.h"

namespace morvane {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view LocalName(std::string_view name) {
  const auto colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

}  // namespace

XmlScanner::XmlScanner(ByteStream& source, XmlLimits limits) : source_(source), limits_(limits) {
  buffer_.resize(kChunk);
}

XmlScanner::Event XmlScanner::Fail(std::string why) {
  failed_ = true;
  if (error_.empty()) error_ = std::move(why);
  return Event::Error;
}

bool XmlScanner::Fill(std::size_t keepFrom, std::size_t& shift) {
  shift = 0;
  if (sourceEnded_) return false;
  if (keepFrom > 0) {
    std::memmove(buffer_.data(), buffer_.data() + keepFrom, end_ - keepFrom);
    end_ -= keepFrom;
    position_ -= std::min(position_, keepFrom);
    shift = keepFrom;
  }
  if (end_ == buffer_.size()) {
    if (buffer_.size() >= limits_.maximumTagSize + kChunk) {
      Fail("a tag longer than " + std::to_string(limits_.maximumTagSize) + " bytes");
      return false;
    }
    buffer_.resize(buffer_.size() * 2);
  }
  const int64_t got =
      source_.Read(reinterpret_cast<unsigned char*>(buffer_.data() + end_), buffer_.size() - end_);
  if (got < 0) {
    sourceFailed_ = true;
    sourceEnded_ = true;
    Fail("the part cannot be read");
    return false;
  }
  if (got == 0) {
    sourceEnded_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(got);
  return true;
}

bool XmlScanner::EnsureAvailable(std::size_t count) {
  std::size_t shift;
  while (end_ - position_ < count)
    if (!Fill(position_, shift)) return false;
  return true;
}

bool XmlScanner::SkipPast(std::string_view terminator) {
  std::size_t shift;
  for (;;) {
    const std::string_view window(buffer_.data() + position_, end_ - position_);
    const auto found = window.find(terminator);
    if (found != std::string_view::npos) {
      position_ += found + terminator.size();
      return true;
    }
    position_ = end_ - std::min(end_ - position_, terminator.size() - 1);
    if (!Fill(position_, shift)) return false;
  }
}

bool XmlScanner::DecodeInto(std::string& out, const char* begin, const char* end, bool final,
                            std::size_t& used) {
  const char* p = begin;
  while (p < end) {
    const char* run = p;
    while (p < end && *p != '&' && *p != '\r') ++p;
    out.append(run, p);
    if (p == end) break;
    if (*p == '\r') {
      // Line ends become LF, as every XML reader hands them over.
      if (p + 1 == end && !final) break;
      out.push_back('\n');
      p += (p + 1 < end && p[1] == '\n') ? 2 : 1;
      continue;
    }
    const char* semicolon = static_cast<const char*>(std::memchr(p, ';', std::min<std::size_t>(end - p, 12)));
    if (!semicolon) {
      if (!final && end - p < 12) break;
      Fail("an unterminated character reference");
      return false;
    }
    const std::string_view entity(p + 1, semicolon - p - 1);
    if (entity == "lt") {
      out.push_back('<');
    } else if (entity == "gt") {
      out.push_back('>');
    } else if (entity == "amp") {
      out.push_back('&');
    } else if (entity == "quot") {
      out.push_back('"');
    } else if (entity == "apos") {
      out.push_back('\'');
    } else if (entity.size() >= 2 && entity[0] == '#') {
      const bool hex = entity[1] == 'x';
      uint32_t code = 0;
      const std::string_view digits = entity.substr(hex ? 2 : 1);
      if (digits.empty()) return Fail("an empty character reference"), false;
      for (char d : digits) {
        uint32_t value;
        if (d >= '0' && d <= '9') {
          value = static_cast<uint32_t>(d - '0');
        } else if (hex && d >= 'a' && d <= 'f') {
          value = static_cast<uint32_t>(d - 'a' + 10);
        } else if (hex && d >= 'A' && d <= 'F') {
          value = static_cast<uint32_t>(d - 'A' + 10);
        } else {
          return Fail("a bad character reference"), false;
        }
        code = code * (hex ? 16 : 10) + value;
        if (code > 0x10FFFF) return Fail("a character reference out of range"), false;
      }
      if (code == 0 || (code >= 0xD800 && code <= 0xDFFF))
        return Fail("a character reference out of range"), false;
      AppendUtf8(out, code);
    } else {
      // Only the predefined entities exist: no DTD can declare others.
      Fail("an undeclared entity");
      return false;
    }
    p = semicolon + 1;
  }
  used = static_cast<std::size_t>(p - begin);
  return true;
}

XmlScanner::Event XmlScanner::ReadText(std::string& out) {
  std::size_t shift;
  for (;;) {
    const char* begin = buffer_.data() + position_;
    const char* end = buffer_.data() + end_;
    const char* less = static_cast<const char*>(std::memchr(begin, '<', end - begin));
    std::size_t used;
    if (!DecodeInto(out, begin, less ? less : end, less != nullptr || sourceEnded_, used))
      return Event::Error;
    position_ += used;
    if (out.size() > limits_.maximumTextSize) return Fail("a text longer than the limit");
    if (less) return Event::Text;
    if (!Fill(position_, shift)) {
      if (failed_) return Event::Error;
      // The source ended inside the text: decode what is left.
      if (!DecodeInto(out, buffer_.data() + position_, buffer_.data() + end_, true, used))
        return Event::Error;
      position_ = end_;
      return Event::Text;
    }
  }
}

XmlScanner::Event XmlScanner::ReadCdata() {
  position_ += 9;
  text_.clear();
  std::size_t shift;
  for (;;) {
    const std::string_view window(buffer_.data() + position_, end_ - position_);
    const auto found = window.find("]]>");
    if (found != std::string_view::npos) {
      if (wantText_) text_.append(window.substr(0, found));
      position_ += found + 3;
      return Event::Text;
    }
    const std::size_t keep = std::min<std::size_t>(window.size(), 2);
    if (wantText_) text_.append(window.substr(0, window.size() - keep));
    if (text_.size() > limits_.maximumTextSize) return Fail("a text longer than the limit");
    position_ = end_ - keep;
    if (!Fill(position_, shift)) return failed_ ? Event::Error : Fail("an unterminated CDATA section");
  }
}

XmlScanner::Event XmlScanner::ReadTag() {
  if (!EnsureAvailable(2)) return failed_ ? Event::Error : Fail("the part ends inside a tag");
  const char second = buffer_[position_ + 1];
  if (second == '?') {
    position_ += 2;
    if (!SkipPast("?>")) return failed_ ? Event::Error : Fail("an unterminated processing instruction");
    return Event::End;  // nothing to report; Next goes on
  }
  if (second == '!') {
    EnsureAvailable(9);
    const std::string_view head(buffer_.data() + position_, end_ - position_);
    if (head.starts_with("<!--")) {
      position_ += 4;
      if (!SkipPast("-->")) return failed_ ? Event::Error : Fail("an unterminated comment");
      return Event::End;
    }
    if (head.starts_with("<![CDATA[")) {
      const Event event = ReadCdata();
      if (event == Event::Text && !wantText_) return Event::End;
      return event;
    }
    return Fail("a document type or declaration, which parts never hold");
  }

  // One pass over the tag; when the buffer ends inside it, more is read and the tag parsed again.
  std::size_t shift;
  for (;;) {
    const char* const begin = buffer_.data() + position_;
    const char* const end = buffer_.data() + end_;
    const char* p = begin + 1;
    bool needMore = false;
    if (second == '/') {
      const char* greater = static_cast<const char*>(std::memchr(p, '>', end - p));
      if (greater) {
        ++p;
        const char* nameEnd = p;
        while (nameEnd < greater && !IsSpace(*nameEnd)) ++nameEnd;
        if (depth_ == 0) return Fail("an end tag without a start");
        --depth_;
        name_ = LocalName(std::string_view(p, nameEnd - p));
        position_ = static_cast<std::size_t>(greater + 1 - buffer_.data());
        return Event::EndElement;
      }
      needMore = true;
    } else {
      attributes_.clear();
      while (p < end && !IsSpace(*p) && *p != '/' && *p != '>') ++p;
      const std::string_view name(begin + 1, p - begin - 1);
      bool selfClosing = false;
      bool complete = false;
      for (;;) {
        while (p < end && IsSpace(*p)) ++p;
        if (p == end) break;
        if (*p == '>') {
          ++p;
          complete = true;
          break;
        }
        if (*p == '/') {
          if (p + 1 == end) {
            p = end;
            break;
          }
          if (p[1] != '>') return Fail("a stray / in a tag");
          selfClosing = true;
          complete = true;
          p += 2;
          break;
        }
        const char* attributeName = p;
        while (p < end && *p != '=' && *p != '>' && *p != '/' && !IsSpace(*p)) ++p;
        const char* attributeNameEnd = p;
        while (p < end && IsSpace(*p)) ++p;
        if (p == end) break;
        if (*p != '=') return Fail("an attribute without a value");
        ++p;
        while (p < end && IsSpace(*p)) ++p;
        if (p == end) break;
        if (*p != '"' && *p != '\'') return Fail("an unquoted attribute value");
        const char quote = *p++;
        // Values are short: a plain loop beats a call to memchr.
        const char* close = p;
        while (close < end && *close != quote) ++close;
        if (close == end) {
          p = end;
          break;
        }
        std::string_view attribute(attributeName, attributeNameEnd - attributeName);
        // Namespace declarations are never asked for; leaving them out keeps "xmlns:r" from
        // answering for "r".
        if (attribute != "xmlns" && !attribute.starts_with("xmlns:")) {
          if (attributes_.size() >= limits_.maximumAttributes) return Fail("too many attributes");
          attribute = LocalName(attribute);
          attributes_.push_back({attribute.data(), attribute.size(), p, static_cast<std::size_t>(close - p)});
        }
        p = close + 1;
      }
      if (complete) {
        if (name.empty()) return Fail("a tag without a name");
        name_ = LocalName(name);
        if (++depth_ > limits_.maximumDepth) return Fail("elements nested too deeply");
        pendingEnd_ = selfClosing;
        position_ = static_cast<std::size_t>(p - buffer_.data());
        return Event::StartElement;
      }
      needMore = true;
    }
    if (needMore) {
      if (end_ - position_ > limits_.maximumTagSize) return Fail("a tag longer than the limit");
      if (!Fill(position_, shift)) return failed_ ? Event::Error : Fail("the part ends inside a tag");
    }
  }
}

std::string_view XmlScanner::Peek(std::size_t count) {
  if (failed_ || pendingEnd_) return {};
  EnsureAvailable(count);
  if (failed_) return {};
  return std::string_view(buffer_.data() + position_, end_ - position_);
}

bool XmlScanner::ReadContent(std::string& out) {
  if (failed_) return false;
  if (pendingEnd_) {
    pendingEnd_ = false;
    --depth_;
    return true;
  }
  if (position_ == end_) {
    std::size_t shift;
    if (!Fill(position_, shift)) return false;
  }
  if (buffer_[position_] != '<' && ReadText(out) != Event::Text) return false;
  if (!EnsureAvailable(2) || buffer_[position_ + 1] != '/') return false;
  return ReadTag() == Event::EndElement;
}

bool XmlScanner::SkipRest() {
  if (failed_) return false;
  if (pendingEnd_) {
    pendingEnd_ = false;
    --depth_;
    return true;
  }
  if (depth_ == 0) return true;
  const std::size_t target = depth_ - 1;
  const bool wanted = wantText_;
  wantText_ = false;
  std::size_t shift;
  while (depth_ > target) {
    const void* less = std::memchr(buffer_.data() + position_, '<', end_ - position_);
    if (!less) {
      position_ = end_;
      if (!Fill(position_, shift)) break;
      continue;
    }
    position_ = static_cast<std::size_t>(static_cast<const char*>(less) - buffer_.data());
    if (!EnsureAvailable(2)) break;
    const char second = buffer_[position_ + 1];
    if (second == '!' || second == '?') {
      if (ReadTag() == Event::Error) break;
      continue;
    }
    // Only the depth matters here: find the tag's end outside quotes.
    std::size_t i = position_ + 1;
    char quote = 0;
    bool complete = false;
    while (!complete) {
      if (i == end_) {
        if (i - position_ > limits_.maximumTagSize) {
          Fail("a tag longer than the limit");
          break;
        }
        if (!Fill(position_, shift)) break;
        i -= shift;
        continue;
      }
      const char c = buffer_[i++];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        complete = true;
      }
    }
    if (!complete) break;
    if (second == '/') {
      --depth_;
    } else if (buffer_[i - 2] != '/') {
      if (++depth_ > limits_.maximumDepth) {
        Fail("elements nested too deeply");
        break;
      }
    }
    position_ = i;
  }
  wantText_ = wanted;
  if (depth_ > target) {
    Fail("the part ends inside an element");
    return false;
  }
  return !failed_;
}

XmlScanner::Event XmlScanner::Next() {
  if (failed_) return Event::Error;
  if (pendingEnd_) {
    // name_ still points into the buffer, which only the next read changes.
    pendingEnd_ = false;
    attributes_.clear();
    --depth_;
    return Event::EndElement;
  }
  std::size_t shift;
  for (;;) {
    if (position_ == end_ && !Fill(position_, shift)) {
      if (failed_) return Event::Error;
      if (depth_ != 0) return Fail("the part ends inside an element");
      return Event::End;
    }
    if (buffer_[position_] != '<') {
      if (wantText_) {
        text_.clear();
        return ReadText(text_);
      }
      const void* less = std::memchr(buffer_.data() + position_, '<', end_ - position_);
      position_ = less ? static_cast<std::size_t>(static_cast<const char*>(less) - buffer_.data()) : end_;
      continue;
    }
    const Event event = ReadTag();
    if (event != Event::End) return event;
  }
}

std::optional<std::string_view> XmlScanner::Attribute(std::string_view localName) {
  for (const auto& attribute : attributes_) {
    if (std::string_view(attribute.name, attribute.nameSize) != localName) continue;
    const std::string_view raw(attribute.value, attribute.valueSize);
    if (raw.find_first_of("&\r") == std::string_view::npos) return raw;
    attributeValue_.clear();
    std::size_t used;
    if (!DecodeInto(attributeValue_, raw.data(), raw.data() + raw.size(), true, used)) return std::nullopt;
    return std::string_view(attributeValue_);
  }
  return std::nullopt;
}

}  // namespace morvane
