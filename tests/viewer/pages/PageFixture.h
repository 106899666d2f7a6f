// A page with its context, fed by scripted rows; messages and error boxes
// are recorded instead of shown.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "FakeRows.h"
#include "KvLivePage.h"
#include "KvStringGrid.h"
#include "KvViewerDialogs.h"

// The viewer's boxes, recorded: plain boxes, error boxes and the questions,
// which get the harness's answer.
struct TRecordingDialogs : TViewerDialogs {
    std::vector<QString> plain, errorBoxes, questions;
    bool answer = true;
    TRecordingDialogs() { SetViewerDialogs(this); }
    ~TRecordingDialogs() override { SetViewerDialogs(nullptr); }
    void Message(const QString& text) override { plain.push_back(text); }
    void Error(const QString& text) override { errorBoxes.push_back(text); }
    bool Confirm(const QString& text) override { return Ask(text); }
    bool ConfirmWarning(const QString& text) override { return Ask(text); }

private:
    bool Ask(const QString& text) {
        questions.push_back(text);
        return answer;
    }
};

template <class Page>
struct PageHarness {
    TViewerContext ctx;
    std::shared_ptr<FakeRows> rows = std::make_shared<FakeRows>();
    std::vector<QString> messages;
    std::vector<std::string> errors;
    TRecordingDialogs dialogs;
    std::vector<QString>& informed = dialogs.plain;   // plain boxes
    std::unique_ptr<Page> page;

    explicit PageHarness(int version = 10, int blockSize = 8192, std::string dataDir = ".") {
        ctx.OracleVersion = version;
        ctx.BlockSize = blockSize;
        ctx.DataDir = std::move(dataDir);
        ctx.SetMessage = [this](const QString& t) { messages.push_back(t); };
        ctx.ShowODBCError = [this](const std::string& t) { errors.push_back(t); };
        page = std::make_unique<Page>(ctx);
        page->SetRowSource(rows);
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
