#include "KvPages.h"

TKvPage* CreateViewerPage(TKvPageIndex, TViewerContext&, QWidget*) { return nullptr; }
