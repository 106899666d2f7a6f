// Factory of the viewer's pages.
#pragma once

#include "KvPage.h"

// Creates the page of that index, or nullptr when it is not built yet (the
// main window then shows an empty page in its place).
TKvPage* CreateViewerPage(TKvPageIndex index, TViewerContext& ctx, QWidget* parent);
