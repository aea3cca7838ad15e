#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace testfiles {

// A fresh folder under the system temp folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& path() const { return path_; }
  std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// A program built beside the running test exe.
std::wstring builtProgram(const std::wstring& fileName);

std::optional<std::string> readWholeFile(const std::wstring& path);
bool writeWholeFile(const std::wstring& path, const std::string& bytes);
bool fileExists(const std::wstring& path);

}  // namespace testfiles
