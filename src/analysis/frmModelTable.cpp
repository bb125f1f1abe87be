#include "analysis/frmModelTable.h"

frmModelTable::frmModelTable() : Form("frmModelTable", QStringLiteral("Quelt Analysis"), 11235, 11085) {}
