// What every test of the program starts from: the shared collector run and
// the simulator's expectations for it, computed once.
#pragma once

#include <gtest/gtest.h>

#include "CollectorRun.h"
#include "SimExpectations.h"

const TExpectedRun& SharedExpectations();

// Tests on the run: skipped without the tools, failed when the run went wrong.
class TCollectorRunTest : public ::testing::Test {
protected:
    void SetUp() override;
    const TCollectorRun& Run() const { return SharedCollectorRun(); }
    const TExpectedRun& Expected() const { return SharedExpectations(); }
};
