// Test seam: records messages and questions, answers from a script.
#pragma once

#include "ODBCCall.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

class RecordingUI : public TQueryUI {
public:
    RecordingUI() { SetQueryUI(this); }
    ~RecordingUI() override { SetQueryUI(nullptr); }

    void BeginWait() override { ++waitDepth; ++waitCount; }
    void EndWait() override { --waitDepth; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool Confirm(const std::string& text) override {
        questions.push_back(text);
        if (answers.empty()) return true;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }

    int waitDepth = 0;
    int waitCount = 0;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;
};

// Runs f and returns the EODBCError it raised (fails the test otherwise).
template <typename F>
EODBCError CatchODBC(F&& f) {
    try {
        f();
    } catch (const EODBCError& e) {
        return e;
    }
    ADD_FAILURE() << "no EODBCError raised";
    return EODBCError(TqoErrorInfo{});
}
