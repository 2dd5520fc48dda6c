#pragma once

namespace tess {

class TfrmMain;

// The commands that change or export sprites. The File-menu forms work on the selected rows,
// the context-menu forms on the main window's itemIndex row.
class TSpriteCommands {
 public:
  explicit TSpriteCommands(TfrmMain& main) : FMain(main) {}

  void Add2Click();
  void Add1Click();
  void Replace1Click();
  void Substituir1Click();
  void Export1Click();
  void Exportar1Click();
  void Clone1Click();
  void Clone2Click();
  void Clear1Click();
  void Clear2Click();

 private:
  TfrmMain& FMain;
};

}  // namespace tess
