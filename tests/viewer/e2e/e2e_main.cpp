// The viewer's statistics pages on the data of one real collector run: the
// run happens once, before the first test, and is shared by all of them.
#include <gtest/gtest.h>

#include <QApplication>

#include "CollectorRun.h"

namespace {

class TCollectorRunEnvironment : public ::testing::Environment {
public:
    void TearDown() override
    {
        FinishCollectorRun(::testing::UnitTest::GetInstance()->failed_test_count() > 0);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new TCollectorRunEnvironment);
    return RUN_ALL_TESTS();
}
