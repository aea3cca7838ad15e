#include "app/text_services.h"

#include <cstring>

std::int32_t textLength(const Text& text) {
  return static_cast<std::int32_t>(std::strlen(text.c_str()));
}

Text charText(int code) {
  if (code == 0) return Text();
  return Text(1, static_cast<char>(code));
}

Text concatTexts(std::initializer_list<Text> texts) {
  Text result;
  for (const Text& text : texts) result.append(text.c_str(), static_cast<std::size_t>(textLength(text)));
  return result;
}

int compareTexts(const Text& a, const Text& b) {
  const int order = std::strcmp(a.c_str(), b.c_str());
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

Text bytesToText(const ByteBlock& block) {
  return Text(block.c_str());
}
