#include "ui/SpriteCommands.h"

namespace tess {

// Placeholders until the commands are built.
void TSpriteCommands::Add2Click() {}
void TSpriteCommands::Add1Click() {}
void TSpriteCommands::Replace1Click() {}
void TSpriteCommands::Substituir1Click() {}
void TSpriteCommands::Export1Click() {}
void TSpriteCommands::Exportar1Click() {}
void TSpriteCommands::Clone1Click() {}
void TSpriteCommands::Clone2Click() {}
void TSpriteCommands::Clear1Click() {}
void TSpriteCommands::Clear2Click() {}

}  // namespace tess
