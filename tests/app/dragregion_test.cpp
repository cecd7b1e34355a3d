#include "dragregion.h"

#include <gtest/gtest.h>

namespace {

const char *kTitle =
    R"({"x":0,"y":0,"width":960,"height":48,"left":0,"top":0,"right":960,"bottom":48})";
const char *kButtons =
    R"([{"left":880,"top":8,"right":912,"bottom":40},{"left":920,"top":8,"right":952,"bottom":40}])";

} // namespace

TEST(DragRegion, PressInTitleStartsADragUnlessItIsOnAnExemptButton)
{
    const struct
    {
        QPointF press;
        const char *title;
        const char *exemptions;
        bool drags;
    } cases[] = {
        {{100, 20}, kTitle, kButtons, true},   // title, away from the buttons
        {{900, 20}, kTitle, kButtons, false},  // on the first button
        {{936, 30}, kTitle, kButtons, false},  // on the second button
        {{880, 20}, kTitle, kButtons, true},   // on a button's edge: not strictly inside
        {{100, 48}, kTitle, kButtons, false},  // just below the title
        {{100, 300}, kTitle, kButtons, false}, // well below the title
        {{960, 20}, kTitle, kButtons, false},  // right of the title
        {{100, 20}, kTitle, "[]", true},       // no exempt elements
        {{100, 20}, "", kButtons, false},      // no title element: the script yields nothing
        {{0, 0}, "not json", "[]", false},
        {{100, 20}, kTitle, "garbage", true}, // unreadable exemptions exempt nothing
    };
    for (const auto &c : cases) {
        const bool drags = pressInDragTitle(c.press, QString::fromLatin1(c.title)) &&
                           pressOutsideExemptions(c.press, QString::fromLatin1(c.exemptions));
        EXPECT_EQ(drags, c.drags) << c.press.x() << "," << c.press.y() << " " << c.title;
    }
}

TEST(DragRegion, WindowFollowsTheMouseRoundedHalfAwayFromZero)
{
    EXPECT_EQ(dragWindowPosition({500, 300}, {100, 20}), QPoint(400, 280));
    EXPECT_EQ(dragWindowPosition({500.5, 300.5}, {100, 20}), QPoint(401, 281));
    EXPECT_EQ(dragWindowPosition({99.5, 19.5}, {100, 20}), QPoint(-1, -1));
    EXPECT_EQ(dragWindowPosition({100.25, 19.75}, {100, 20}), QPoint(0, 0));
}
