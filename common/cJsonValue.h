#pragma once
// A small JSON value: enough to read back the files the programs write (analyzer partials)
// and to compare parts of them exactly. Numbers keep the text they were written with, so a
// value read and written again is the same text, and 64-bit seeds survive.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class cJsonValue {
public:
  enum eKind { jkNull, jkBool, jkNumber, jkString, jkArray, jkObject };

  static cJsonValue Null() { return cJsonValue(); }
  static cJsonValue Bool(bool value);
  static cJsonValue Number(double value);
  static cJsonValue Unsigned(uint64_t value);
  static cJsonValue Integer(long long value);
  static cJsonValue String(const std::string& text);
  static cJsonValue Array();
  static cJsonValue Object();

  // Throws std::runtime_error saying where the text stops being JSON.
  static cJsonValue Parse(const std::string& text);
  // Compact text; members in the order they were added or read.
  std::string Serialize() const;

  eKind Kind() const { return ValueKind; }
  bool IsNull() const { return ValueKind == jkNull; }
  // Appends to an array / adds a member to an object; returns *this for chaining.
  cJsonValue& Add(cJsonValue item);
  cJsonValue& Add(const std::string& key, cJsonValue value);

  // Accessors throw std::runtime_error naming what was expected.
  const cJsonValue* Find(const std::string& key) const;
  const cJsonValue& At(const std::string& key) const;
  const std::vector<cJsonValue>& Items() const;
  const std::vector<std::pair<std::string, cJsonValue>>& Members() const;
  const std::string& AsString() const;
  bool AsBool() const;
  // A number, or the texts "inf", "-inf" and "nan" that stand for the values JSON lacks.
  double AsReal() const;
  uint64_t AsUnsigned() const;

private:
  static cJsonValue Made(eKind kind, std::string text = "");

  eKind ValueKind = jkNull;
  bool BoolValue = false;
  std::string TextValue;  // a string's contents or a number's text
  std::vector<cJsonValue> ItemList;
  std::vector<std::pair<std::string, cJsonValue>> MemberList;
  friend class cJsonParser;
};
