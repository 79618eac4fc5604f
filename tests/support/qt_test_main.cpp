// Test entry for suites that need a QApplication (windows) or a QCoreApplication (core logic).
#include <gtest/gtest.h>

#include <QTimer>
#include <QtGlobal>
#ifdef SR_TEST_WIDGETS
#include <QApplication>
#include <QImageReader>
using TestApp = QApplication;
#else
#include <QCoreApplication>
using TestApp = QCoreApplication;
#endif

namespace {

// After every test, one turn of a real event loop: deferred deletions run, and an exit asked
// for by a test that ended the program (the close path) does not leave every later nested
// event loop (message boxes) returning at once.
class EventLoopReset : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
};

}  // namespace

int main(int argc, char** argv) {
#ifdef SR_TEST_WIDGETS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    TestApp app(argc, argv);
#ifdef SR_TEST_WIDGETS
    QImageReader::setAllocationLimit(2048);  // as the program sets it at its start, for the viewer
#endif
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new EventLoopReset);
    return RUN_ALL_TESTS();
}
