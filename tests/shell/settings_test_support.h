#pragma once
// A private settings folder for one test: XDG_CONFIG_HOME points at a fresh
// temporary folder, removed afterwards, so nothing touches the real one.
#include <string>

namespace testing_support {

class TempConfigHome {
 public:
  TempConfigHome();
  ~TempConfigHome();
  TempConfigHome(const TempConfigHome&) = delete;
  TempConfigHome& operator=(const TempConfigHome&) = delete;

  const std::string& Root() const { return root_; }  // what XDG_CONFIG_HOME says
  std::string Folder() const { return root_ + "/harbor-lights"; }
  std::string File() const { return Folder() + "/registry.reg"; }

  void Write(const std::string& text) const;  // creates the folder as needed
  bool Exists() const;
  std::string Read() const;  // "" when missing

 private:
  std::string root_;
  std::string oldValue_;
  bool hadValue_ = false;
};

}  // namespace testing_support
