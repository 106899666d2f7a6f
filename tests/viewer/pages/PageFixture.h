// A page with its context, fed by scripted rows; messages and error boxes
// are recorded instead of shown.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "FakeRows.h"
#include "KvLivePage.h"
#include "KvStringGrid.h"

template <class Page>
struct PageHarness {
    TViewerContext ctx;
    std::shared_ptr<FakeRows> rows = std::make_shared<FakeRows>();
    std::vector<QString> messages;
    std::vector<std::string> errors;
    std::vector<QString> informed;
    bool confirmAnswer = true;
    std::unique_ptr<Page> page;

    explicit PageHarness(int version = 10, int blockSize = 8192, std::string dataDir = ".") {
        ctx.OracleVersion = version;
        ctx.BlockSize = blockSize;
        ctx.DataDir = std::move(dataDir);
        ctx.SetMessage = [this](const QString& t) { messages.push_back(t); };
        ctx.ShowODBCError = [this](const std::string& t) { errors.push_back(t); };
        page = std::make_unique<Page>(ctx);
        page->SetRowSource(rows);
        page->Dialogs.ConfirmWarning = [this](const QString&) { return confirmAnswer; };
        page->Dialogs.Inform = [this](const QString& t) { informed.push_back(t); };
        page->InitMainForm();
    }
    QString LastMessage() const { return messages.empty() ? QString() : messages.back(); }
};

// Text and style of a cell as the page's drawing handler sets them.
inline TKvStringGrid::CellStyle StyleOf(TKvStringGrid& grid, int col, int row) {
    TKvStringGrid::CellStyle style;
    if (grid.OnDrawCell) grid.OnDrawCell(col, row, style);
    return style;
}
