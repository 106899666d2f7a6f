#include "KvPages.h"

#include "CheckPointPage.h"
#include "ExtentsPage.h"
#include "FreeSpacePage.h"
#include "LogFilePage.h"
#include "MemoryPage.h"
#include "ParameterPage.h"
#include "RatePage.h"
#include "SegmentPage.h"
#include "SessionPage.h"
#include "TableSpacePage.h"

TKvPage* CreateViewerPage(TKvPageIndex index, TViewerContext& ctx, QWidget* parent) {
    switch (index) {
    case pgCheckPoint: return new TCheckPointPage(ctx, parent);
    case pgMemory: return new TMemoryPage(ctx, parent);
    case pgRate: return new TRatePage(ctx, parent);
    case pgTableSpace: return new TTableSpacePage(ctx, parent);
    case pgFet: return new TFreeSpacePage(ctx, parent);
    case pgSegment: return new TSegmentPage(ctx, parent);
    case pgSession: return new TSessionPage(ctx, parent);
    case pgLogFile: return new TLogFilePage(ctx, parent);
    case pgParameter: return new TParameterPage(ctx, parent);
    case pgExtents: return new TExtentsPage(ctx, parent);
    default: return nullptr;
    }
}
