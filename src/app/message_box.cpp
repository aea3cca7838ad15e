#include "app/message_box.h"

#include <windows.h>

#include "app/code_page.h"
#include "app/text_services.h"

int showMessage(const Text& text, unsigned flags, const std::optional<Text>& caption) {
  const std::wstring wideText = widenGbk(text).value_or(std::wstring());
  const std::wstring wideCaption = widenGbk(caption.value_or("信息：")).value_or(std::wstring());
  const UINT style = (flags & MB_SYSTEMMODAL) ? flags : (flags | MB_TASKMODAL);
  const int button = MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), style);
  return button > 0 ? button - 1 : 0;
}

void showErrorBox(const Text& message, const Text& codeLine) {
  const Text lineBreak = concatTexts({charText(13), charText(10)});
  showMessage(concatTexts({message, lineBreak, lineBreak, codeLine}), kErrorIcon, Text("ERROR"));
}
