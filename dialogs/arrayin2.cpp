#include "dialogs/arrayin2.h"

#include "ui_dlg_20506.h"

void CArrayInsertKVSBox::BuildDialog() { BuildForm<Ui::Dlg20506>(); }
