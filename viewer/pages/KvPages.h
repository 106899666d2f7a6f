// Factory of the viewer's pages.
#pragma once

#include "KvPage.h"

// Creates the page of that index; nullptr only for an index outside the ten
// (the main window shows an empty page in its place).
TKvPage* CreateViewerPage(TKvPageIndex index, TViewerContext& ctx, QWidget* parent);
