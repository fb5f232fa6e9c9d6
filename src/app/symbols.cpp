#include "app/symbols.h"

namespace trelvan {

SymbolTable symbolTable;

void loadSymbolTable() {}

}  // namespace trelvan
