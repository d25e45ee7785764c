#include "cJsonValue.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "cResultTable.h"

namespace {
const char* KindName(cJsonValue::eKind kind)
{
  switch (kind) {
    case cJsonValue::jkNull: return "null";
    case cJsonValue::jkBool: return "true or false";
    case cJsonValue::jkNumber: return "a number";
    case cJsonValue::jkString: return "a text";
    case cJsonValue::jkArray: return "a list";
    case cJsonValue::jkObject: return "an object";
  }
  return "?";
}

void Expect(const cJsonValue& value, cJsonValue::eKind kind)
{
  if (value.Kind() != kind)
    throw std::runtime_error(std::string("expected ") + KindName(kind) + ", found " + KindName(value.Kind()));
}
}  // namespace

class cJsonParser {
public:
  explicit cJsonParser(const std::string& text) : Text(text) {}

  cJsonValue Document()
  {
    cJsonValue value = Value(0);
    Space();
    if (Position != Text.size()) Fail("text after the end");
    return value;
  }

private:
  [[noreturn]] void Fail(const std::string& what) const
  {
    throw std::runtime_error("not valid JSON at byte " + std::to_string(Position) + ": " + what);
  }
  void Space()
  {
    while (Position < Text.size() &&
           (Text[Position] == ' ' || Text[Position] == '\n' || Text[Position] == '\r' || Text[Position] == '\t'))
      ++Position;
  }
  bool Take(char c)
  {
    Space();
    if (Position < Text.size() && Text[Position] == c) {
      ++Position;
      return true;
    }
    return false;
  }
  bool Word(const char* word)
  {
    const std::string w(word);
    if (Text.compare(Position, w.size(), w) != 0) return false;
    Position += w.size();
    return true;
  }
  std::string StringBody()
  {
    // The opening quote has been taken.
    std::string out;
    while (true) {
      if (Position >= Text.size()) Fail("unterminated text");
      const char c = Text[Position++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) Fail("control character in a text");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (Position >= Text.size()) Fail("unterminated escape");
      const char e = Text[Position++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          if (Position + 4 > Text.size()) Fail("short \\u escape");
          unsigned code = 0;
          const auto [end, error] = std::from_chars(Text.data() + Position, Text.data() + Position + 4, code, 16);
          if (error != std::errc() || end != Text.data() + Position + 4) Fail("bad \\u escape");
          Position += 4;
          // The programs write 8-bit text; only the codes they escape come back as bytes.
          if (code > 0xFF) Fail("\\u escape beyond 8-bit text");
          out += char(code);
          break;
        }
        default: Fail("unknown escape");
      }
    }
  }
  cJsonValue Value(int depth)
  {
    if (depth > 64) Fail("nested too deeply");
    Space();
    if (Position >= Text.size()) Fail("missing value");
    cJsonValue v;
    const char c = Text[Position];
    if (c == '{') {
      ++Position;
      v.ValueKind = cJsonValue::jkObject;
      if (Take('}')) return v;
      do {
        if (!Take('"')) Fail("expected a member name");
        std::string key = StringBody();
        if (!Take(':')) Fail("expected ':'");
        v.MemberList.emplace_back(std::move(key), Value(depth + 1));
      } while (Take(','));
      if (!Take('}')) Fail("expected ',' or '}'");
    } else if (c == '[') {
      ++Position;
      v.ValueKind = cJsonValue::jkArray;
      if (Take(']')) return v;
      do v.ItemList.push_back(Value(depth + 1));
      while (Take(','));
      if (!Take(']')) Fail("expected ',' or ']'");
    } else if (c == '"') {
      ++Position;
      v.ValueKind = cJsonValue::jkString;
      v.TextValue = StringBody();
    } else if (Word("true") || Word("false")) {
      v.ValueKind = cJsonValue::jkBool;
      v.BoolValue = Text[Position - 1] == 'e' && Text[Position - 2] == 'u';
    } else if (Word("null")) {
      v.ValueKind = cJsonValue::jkNull;
    } else {
      const size_t start = Position;
      while (Position < Text.size() &&
             std::string_view("+-0123456789.eE").find(Text[Position]) != std::string_view::npos)
        ++Position;
      double number = 0;
      const auto [end, error] = std::from_chars(Text.data() + start, Text.data() + Position, number);
      if (start == Position || error != std::errc() || end != Text.data() + Position) {
        Position = start;
        Fail("unexpected character");
      }
      v.ValueKind = cJsonValue::jkNumber;
      v.TextValue = Text.substr(start, Position - start);
    }
    return v;
  }

  const std::string& Text;
  size_t Position = 0;
};

cJsonValue cJsonValue::Made(eKind kind, std::string text)
{
  cJsonValue v;
  v.ValueKind = kind;
  v.TextValue = std::move(text);
  return v;
}

cJsonValue cJsonValue::Bool(bool value)
{
  cJsonValue v = Made(jkBool);
  v.BoolValue = value;
  return v;
}

cJsonValue cJsonValue::Number(double value)
{
  // JSON has no infinity: such values are written as text, as cResultTable does.
  if (!std::isfinite(value)) return String(cResultTable::FormatNumber(value));
  return Made(jkNumber, cResultTable::FormatNumber(value));
}

cJsonValue cJsonValue::Unsigned(uint64_t value)
{
  return Made(jkNumber, std::to_string(value));
}

cJsonValue cJsonValue::Integer(long long value)
{
  return Made(jkNumber, std::to_string(value));
}

cJsonValue cJsonValue::String(const std::string& text)
{
  return Made(jkString, text);
}

cJsonValue cJsonValue::Array()
{
  return Made(jkArray);
}

cJsonValue cJsonValue::Object()
{
  return Made(jkObject);
}

cJsonValue cJsonValue::Parse(const std::string& text)
{
  return cJsonParser(text).Document();
}

std::string cJsonValue::Serialize() const
{
  switch (ValueKind) {
    case jkNull: return "null";
    case jkBool: return BoolValue ? "true" : "false";
    case jkNumber: return TextValue;
    case jkString: return cResultTable::JsonString(TextValue);
    case jkArray: {
      std::string out = "[";
      for (size_t i = 0; i < ItemList.size(); ++i) {
        if (i) out += ',';
        out += ItemList[i].Serialize();
      }
      return out + "]";
    }
    case jkObject: {
      std::string out = "{";
      for (size_t i = 0; i < MemberList.size(); ++i) {
        if (i) out += ',';
        out += cResultTable::JsonString(MemberList[i].first);
        out += ':';
        out += MemberList[i].second.Serialize();
      }
      return out + "}";
    }
  }
  return "null";
}

cJsonValue& cJsonValue::Add(cJsonValue item)
{
  Expect(*this, jkArray);
  ItemList.push_back(std::move(item));
  return *this;
}

cJsonValue& cJsonValue::Add(const std::string& key, cJsonValue value)
{
  Expect(*this, jkObject);
  MemberList.emplace_back(key, std::move(value));
  return *this;
}

const cJsonValue* cJsonValue::Find(const std::string& key) const
{
  Expect(*this, jkObject);
  for (auto& [name, value] : MemberList)
    if (name == key) return &value;
  return nullptr;
}

const cJsonValue& cJsonValue::At(const std::string& key) const
{
  const cJsonValue* value = Find(key);
  if (!value) throw std::runtime_error("member '" + key + "' is missing");
  return *value;
}

const std::vector<cJsonValue>& cJsonValue::Items() const
{
  Expect(*this, jkArray);
  return ItemList;
}

const std::vector<std::pair<std::string, cJsonValue>>& cJsonValue::Members() const
{
  Expect(*this, jkObject);
  return MemberList;
}

const std::string& cJsonValue::AsString() const
{
  Expect(*this, jkString);
  return TextValue;
}

bool cJsonValue::AsBool() const
{
  Expect(*this, jkBool);
  return BoolValue;
}

double cJsonValue::AsReal() const
{
  if (ValueKind == jkString) {
    if (TextValue == "inf") return HUGE_VAL;
    if (TextValue == "-inf") return -HUGE_VAL;
    if (TextValue == "nan") return std::nan("");
  }
  Expect(*this, jkNumber);
  double value = 0;
  std::from_chars(TextValue.data(), TextValue.data() + TextValue.size(), value);
  return value;
}

uint64_t cJsonValue::AsUnsigned() const
{
  Expect(*this, jkNumber);
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(TextValue.data(), TextValue.data() + TextValue.size(), value);
  if (error != std::errc() || end != TextValue.data() + TextValue.size())
    throw std::runtime_error("expected a whole number, found " + TextValue);
  return value;
}
