// Where the controls stand at a given window size, the smallest size, and the scroll bars.
// Positions are designed in twips; on screen they are twips / 15 pixels, rounded.
#include "ViewerFixture.h"

namespace {

// Sizes here are outer sizes, frame included, as the resize rules read them.
class Layout : public ViewerFixture {
protected:
    QSize Outer() const { return mViewer->frameGeometry().size(); }
    void ResizeOuter(int width, int height) {
        const QSize frame = Outer() - mViewer->size();
        mViewer->resize(width - frame.width(), height - frame.height());
    }
};

TEST_F(Layout, ControlsFollowTheWindowSize) {
    frmViewer& v = OpenViewer();
    ResizeOuter(800, 600);  // 12000 x 9000 twips
    ASSERT_EQ(v.OuterTwips(), QSize(12000, 9000));
    EXPECT_EQ(v.picViewer->geometry(), QRect(8, 32, 763, 475));
    EXPECT_EQ(v.srbVScroll->geometry(), QRect(769, 32, 17, 475));
    EXPECT_EQ(v.srbHScroll->geometry(), QRect(8, 505, 763, 17));
    const int lefts[4] = {7, 86, 166, 246};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(v.cmdControll[i]->geometry(), QRect(lefts[i], 537, 73, 25)) << i;
    EXPECT_EQ(v.cmdRefresh->geometry(), QRect(553, 537, 73, 25));
    EXPECT_EQ(v.cmdDelete->geometry(), QRect(633, 537, 73, 25));
    EXPECT_EQ(v.cmdClose->geometry(), QRect(713, 537, 73, 25));
    EXPECT_EQ(v.txtDir->geometry(), QRect(88, 8, 698, 18));
    EXPECT_EQ(v.lblTitle->geometry(), QRect(8, 11, 81, 17));
    // The comment sits in the middle of the picture area as resized.
    EXPECT_EQ(v.lblComment->geometry(), QRect(197, 229, 369, 17));
    ResizeOuter(1000, 700);
    EXPECT_EQ(v.lblComment->geometry().center(), v.picViewer->rect().center());
}

TEST_F(Layout, TheWindowSnapsBackToItsSmallestSizeOnlyWhereItWasTooSmall) {
    frmViewer& v = OpenViewer();
    ResizeOuter(100, 400);
    EXPECT_EQ(Outer(), QSize(574, 400));  // 8600 twips, rounded up to whole pixels
    ResizeOuter(700, 20);
    EXPECT_EQ(Outer(), QSize(700, 167));  // 2500 twips
    ResizeOuter(10, 10);
    EXPECT_EQ(Outer(), QSize(574, 167));
    EXPECT_GE(v.OuterTwips().width(), 8600);
    EXPECT_GE(v.OuterTwips().height(), 2500);
    // At the smallest size the picture area is 8050 x 630 twips.
    EXPECT_EQ(v.picViewer->size(), QSize(frmViewer::Px(8050), frmViewer::Px(630)));
    EXPECT_EQ(v.picViewer->size(), QSize(537, 42));
}

class BigPicture : public Layout {
protected:
    void SetUp() override {
        Layout::SetUp();
        mViewer = std::make_unique<frmViewer>();
        mViewer->show();
        ResizeOuter(800, 600);  // picture area 763 x 475
        // 200 pixels (3000 twips) wider, 67 pixels (1005 twips) taller than the area.
        WritePicture(QStringLiteral("000001.png"), 963, 542, Qt::green);
        WritePicture(QStringLiteral("000002.png"), 100, 80, Qt::yellow);
        OpenViewer();
        ASSERT_EQ(V().picViewer->size(), QSize(763, 475));
    }
};

TEST_F(BigPicture, MaximaAreTheOverhangAndTheThumbMovesThePicture) {
    frmViewer& v = V();
    EXPECT_EQ(v.srbHScroll->maximum(), 3000);
    EXPECT_EQ(v.srbVScroll->maximum(), 1005);
    EXPECT_EQ(v.srbHScroll->singleStep(), 250);
    EXPECT_EQ(v.srbHScroll->pageStep(), 500);
    v.srbHScroll->setValue(3000);
    EXPECT_EQ(v.imgViewer->pos(), QPoint(-200, 0));
    v.srbVScroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(v.srbVScroll->value(), 250);
    EXPECT_EQ(v.imgViewer->pos(), QPoint(-200, -17));

    // Dragging: the picture follows the thumb before it is released, and stays after.
    v.srbHScroll->setSliderDown(true);
    v.srbHScroll->setSliderPosition(1500);
    EXPECT_EQ(v.srbHScroll->value(), 3000);
    EXPECT_EQ(v.imgViewer->x(), -100);
    v.srbHScroll->setSliderPosition(600);
    EXPECT_EQ(v.imgViewer->x(), -40);
    v.srbHScroll->setSliderDown(false);
    EXPECT_EQ(v.srbHScroll->value(), 600);
    EXPECT_EQ(v.imgViewer->x(), -40);
}

TEST_F(BigPicture, ResizeAndNavigationScrollBackToTheTopLeft) {
    frmViewer& v = V();
    v.srbHScroll->setValue(3000);
    v.srbVScroll->setValue(1005);
    ResizeOuter(900, 600);  // the area grows by 100 pixels
    EXPECT_EQ(v.imgViewer->pos(), QPoint(0, 0));
    EXPECT_EQ(v.srbHScroll->value(), 0);
    EXPECT_EQ(v.srbVScroll->value(), 0);
    EXPECT_EQ(v.srbHScroll->maximum(), (963 - v.picViewer->width()) * 15);
    EXPECT_EQ(v.srbHScroll->maximum(), 1500);
    EXPECT_EQ(v.srbVScroll->maximum(), 1005);

    v.srbVScroll->setValue(1005);
    v.cmdControll_Click(2);  // a picture smaller than the area
    EXPECT_EQ(v.imgViewer->geometry(), QRect(0, 0, 100, 80));
    EXPECT_EQ(v.srbHScroll->maximum(), 0);
    EXPECT_EQ(v.srbVScroll->maximum(), 0);
    EXPECT_TRUE(v.srbHScroll->isVisible());
    EXPECT_TRUE(v.srbVScroll->isEnabled());
}

}  // namespace
