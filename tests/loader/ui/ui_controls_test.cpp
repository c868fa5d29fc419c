// The owner-drawn controls and the layout helpers, on real widgets rendered offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <string>
#include <utility>
#include <vector>

#include "ui/logic/resource_ids.h"
#include "ui/widgets/anchor_layout.h"
#include "ui/widgets/button_st.h"
#include "ui/widgets/dpi_scale.h"
#include "ui/widgets/image_scaled.h"
#include "ui/widgets/my_check_list_box.h"
#include "ui/widgets/resource_images.h"
#include "ui_fixture.h"

namespace {

using namespace qm::ui;

QPixmap testImage() {
    // A red square with a white (transparent) border: 16 x 16.
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.fillRect(4, 4, 8, 8, Qt::red);
    return pixmap;
}

QImage render(QWidget& widget) {
    return widget.grab().toImage();
}

bool hasColour(const QImage& image, const QRect& area, QColor colour) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

TEST(DpiScale, PercentFromDpiAndScaledLengths) {
    // {dpi, percent, 22 scaled}: 125 % of 22 is 27.5, rounded up.
    const int cases[][3] = {
        {96, 100, 22}, {144, 150, 33}, {120, 125, 28}, {0, 100, 22}, {-5, 100, 22}};
    for (const auto& [dpi, percent, scaled] : cases) {
        EXPECT_EQ(DpiScale::fromDpi(dpi).percent(), percent) << dpi;
        EXPECT_EQ(DpiScale::fromDpi(dpi).scale(22), scaled) << dpi;
    }
    EXPECT_EQ(DpiScale::fromDpi(144).scale(16, 20), 20) << "the cap wins";
    EXPECT_EQ(DpiScale::fromDpi(144).scaled(LoadResourceBitmap(kBitmapLoadModule)).size(),
              QSize(24, 24));
    EXPECT_EQ(mulDiv(3, 1, 2), 2) << "halves round away from zero";
    EXPECT_EQ(mulDiv(-3, 1, 2), -2);
}

class ButtonTest : public ::testing::Test {
protected:
    ButtonTest() {
        button_.setParent(&window_);
        button_.setGeometry(10, 10, 80, 30);
        button_.setFlatLook(false);
        EXPECT_TRUE(button_.setBitmaps(testImage(), Qt::white));
        window_.resize(200, 100);
        window_.show();
        window_.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window_));
    }
    QDialog window_;
    CButtonST button_;
};

TEST_F(ButtonTest, PressedContentMovesOnePixelRightAndDown) {
    button_.setText("Load");
    button_.setAlignment(CButtonST::Alignment::ImageLeft);
    const QRect image = button_.imageRect(false);
    const QRect caption = button_.captionRect(false);
    EXPECT_EQ(button_.imageRect(true), image.translated(1, 1));
    EXPECT_EQ(button_.captionRect(true), caption.translated(1, 1));
    EXPECT_LT(image.right(), caption.left()) << "the caption starts after the image";

    // And the pixels agree: the red square moves while the button is held down.
    const QImage up = render(button_);
    button_.setDown(true);
    const QImage down = render(button_);
    const QRect square = QRect(image.topLeft() + QPoint(4, 4), QSize(8, 8));
    EXPECT_EQ(up.pixelColor(square.topLeft()), QColor(Qt::red));
    EXPECT_NE(down.pixelColor(square.topLeft()), QColor(Qt::red));
    EXPECT_EQ(down.pixelColor(square.topLeft() + QPoint(1, 1)), QColor(Qt::red));
    // The white around the square is see-through: the face colour shows there.
    EXPECT_EQ(up.pixelColor(image.topLeft()), button_.colour(CButtonST::BackOut));
}

TEST_F(ButtonTest, ImageAloneIsCentredAndAMissingBitmapFreesTheImage) {
    EXPECT_EQ(button_.imageRect(false).center(), QRect(0, 0, 80, 30).center());
    EXPECT_FALSE(button_.setBitmaps(4711, Qt::white));
    EXPECT_FALSE(button_.hasImage());
}

TEST_F(ButtonTest, DisabledImageIsEmbossedAndClicksAreIgnored) {
    QSignalSpy clicks(&button_, &QPushButton::clicked);
    button_.setEnabled(false);
    const QImage image = render(button_);
    const QRect area = button_.imageRect(false).adjusted(0, 0, 1, 1);
    EXPECT_FALSE(hasColour(image, area, Qt::red)) << "no colour of the image itself";
    EXPECT_TRUE(hasColour(image, area, button_.palette().color(QPalette::Dark)));
    EXPECT_TRUE(hasColour(image, area, button_.palette().color(QPalette::Light)));
    QTest::mouseClick(&button_, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ButtonTest, TwoQuickClicksCountAsTwoAndAnEmptyTooltipLeavesTheOldOne) {
    QSignalSpy clicks(&button_, &QPushButton::clicked);
    uitest::doubleClick(&button_, {5, 5});
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_TRUE(button_.hasFocus()) << "a click focuses the button";

    button_.setTooltipText(QStringLiteral("Load module"));
    EXPECT_TRUE(button_.tooltipActive());
    button_.setTooltipText(QString());
    button_.setTooltipText(static_cast<StringId>(59999));  // no such string
    EXPECT_EQ(button_.tooltipText(), "Load module") << "empty texts leave it as it was";
}

// A focused button keeps its focused background (the button face unless set otherwise) and
// shows focus as a dotted rectangle 3 pixels inside its edge, each dot the inverse of what lies
// under it, whether the focus came by mouse or by Tab, and whatever the widget style draws for
// focus.
TEST_F(ButtonTest, FocusIsADottedRectangleThreePixelsInsideOnTheFocusedBackground) {
    CButtonST other(&window_);
    other.setGeometry(100, 10, 80, 30);
    button_.setBitmaps(QPixmap(), {});
    button_.setText("OK");
    const auto inverse = [](QColor c) {
        return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue());
    };
    const auto check = [&](const char* label) {
        ASSERT_TRUE(button_.hasFocus()) << label;
        const QImage image = render(button_);
        const QColor back = button_.colour(CButtonST::BackFocus);
        const int right = image.width() - 4;
        const int bottom = image.height() - 4;
        // Just inside the rectangle, at its corners: the focused background, nothing else.
        for (const QPoint inside : {QPoint(4, 4), QPoint(right - 1, 4), QPoint(4, bottom - 1),
                                    QPoint(right - 1, bottom - 1), QPoint(10, 6)}) {
            EXPECT_EQ(image.pixelColor(inside), back)
                << label << " at " << inside.x() << "," << inside.y();
        }
        // Along each side every other pixel is a dot: "o" a dot, "." the background, "?"
        // anything else.
        const auto side = [&](QPoint from, QPoint step, int length) {
            std::string pixels;
            for (int i = 0; i <= length; ++i) {
                const QColor here = image.pixelColor(from + step * i);
                pixels += here == back ? '.' : here == inverse(back) ? 'o' : '?';
            }
            return pixels;
        };
        const auto dotted = [](const std::string& pixels) {
            for (std::size_t i = 0; i < pixels.size(); ++i) {
                if (pixels[i] == '?' || (i > 0 && pixels[i] == pixels[i - 1])) {
                    return false;
                }
            }
            return pixels.size() > 4;
        };
        for (const std::string& pixels :
             {side({3, 3}, {1, 0}, right - 3), side({3, bottom}, {1, 0}, right - 3),
              side({3, 3}, {0, 1}, bottom - 3), side({right, 3}, {0, 1}, bottom - 3)}) {
            EXPECT_TRUE(dotted(pixels)) << label << ": " << pixels;
        }
    };
    QTest::mouseClick(&button_, Qt::LeftButton);
    check("by mouse");

    // Without focus: no black frame, the two-line raised border on the outermost pixels.
    other.setFlatLook(false);
    const QImage plain = render(other);
    const QPalette& pal = other.palette();
    const int w = plain.width();
    const int h = plain.height();
    const std::pair<QPoint, QPalette::ColorRole> border[] = {
        {{w / 2, 0}, QPalette::Light},      {{w / 2, 1}, QPalette::Midlight},
        {{0, h / 2}, QPalette::Light},      {{1, h / 2}, QPalette::Midlight},
        {{w / 2, h - 1}, QPalette::Shadow}, {{w / 2, h - 2}, QPalette::Dark},
        {{w - 1, h / 2}, QPalette::Shadow}, {{w - 2, h / 2}, QPalette::Dark},
        {{w / 2, h - 3}, QPalette::Button}, {{w - 3, h / 2}, QPalette::Button}};
    for (const auto& [at, role] : border) {
        EXPECT_EQ(plain.pixelColor(at).rgb(), pal.color(role).rgb()) << at.x() << "," << at.y();
    }

    other.setFocus();
    QTest::keyClick(&other, Qt::Key_Tab);
    check("by Tab");
    button_.setColour(CButtonST::BackFocus, QColor(255, 255, 0));
    check("yellow");
}

TEST(ImageScaled, PlacesImagesByAlignment) {
    const QRect cell(10, 20, 41, 23);
    const QSize image(16, 16);
    struct Case {
        Qt::Alignment alignment;
        QPoint topLeft;
    };
    const Case cases[] = {
        {Qt::AlignCenter, {10 + 12, 20 + 3}},
        {Qt::AlignLeft | Qt::AlignTop, {12, 22}},
        {Qt::AlignRight | Qt::AlignBottom, {10 + 41 - 2 - 16, 20 + 23 - 2 - 16}},
        {Qt::AlignLeft | Qt::AlignVCenter, {12, 23}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CImageScaled::placeImage(cell, image, c.alignment).topLeft(), c.topLeft)
            << int(c.alignment);
    }
}

TEST(AnchorLayout, MovesAndStretchesByPercentOfTheSizeChange) {
    QWidget window;
    auto* layout = new AnchorLayout(QSize(200, 100), &window);
    QWidget fixed, moved, stretched, half;
    layout->addWidget(&fixed, QRect(10, 10, 20, 20));
    layout->addWidget(&moved, QRect(150, 10, 40, 20));
    layout->addWidget(&stretched, QRect(10, 40, 100, 50));
    layout->addWidget(&half, QRect(120, 40, 20, 20));
    layout->moveControlXY(&moved, 100, 0);
    layout->stretchControlXY(&stretched, 100, 100);
    layout->moveControlXY(&half, 50, 100);
    layout->setGeometry(QRect(0, 0, 300, 160));
    EXPECT_EQ(fixed.geometry(), QRect(10, 10, 20, 20));
    EXPECT_EQ(moved.geometry(), QRect(250, 10, 40, 20));
    EXPECT_EQ(stretched.geometry(), QRect(10, 40, 200, 110));
    EXPECT_EQ(half.geometry(), QRect(170, 100, 20, 20));
    EXPECT_EQ(layout->minimumSize(), QSize(200, 100));
}

TEST(MyCheckListBox, SortsAsTheUsersLanguageAndScrollsOnlyWhenNeeded) {
    MyCheckListBox list;
    list.resize(200, 200);
    list.show();
    for (const char* name : {"Terrain", "survey", "\xc3\x96sterreich", "Drainage", "roads"}) {
        const int index = list.addString(QString::fromUtf8(name));
        list.setItemKey(index, std::string("QM_") + name);
    }
    // Alphabetical as the user's language sorts, without regard to case, each item with its
    // key: the O umlaut goes with the O.
    const char* const sorted[] = {"Drainage", "\xc3\x96sterreich", "roads", "survey", "Terrain"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list.itemText(i), QString::fromUtf8(sorted[i]));
        EXPECT_EQ(list.itemKey(i), std::string("QM_") + sorted[i]);
    }
    list.setCheck(1, true);
    list.enableItem(1, false);
    // A click on the disabled item's check box does not toggle it; on an enabled one it does.
    const QRect first = list.visualItemRect(list.item(0));
    const QRect second = list.visualItemRect(list.item(1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      QPoint(second.left() + 8, second.center().y()));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      QPoint(first.left() + 8, first.center().y()));
    EXPECT_TRUE(list.check(1));
    EXPECT_TRUE(list.check(0));

    // The scroll bar shows only while the items do not fit.
    QApplication::processEvents();
    EXPECT_FALSE(list.verticalScrollBar()->isVisible()) << "five items fit";
    for (int i = 0; i < 40; ++i) {
        list.addString(QStringLiteral("Module %1").arg(i));
    }
    QApplication::processEvents();
    EXPECT_TRUE(list.verticalScrollBar()->isVisible()) << "forty-five do not";
}

// Keys move the caret to every item, locked ones (modules in use) included, as in a list box;
// only the check of a locked item cannot change. Five items, the last two locked and checked.
TEST(MyCheckListBox, KeysReachLockedItemsButTheirChecksStay) {
    using Rows = std::vector<int>;
    struct Case {
        const char* label;
        int start;  // clicked first
        std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys;
        int current;
        Rows selected;
        std::string checks;  // "x" checked, "-" not
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const Case cases[] = {
        {"End", 0, {{Qt::Key_End, none}}, 4, {4}, "---xx"},
        {"Shift+End", 0, {{Qt::Key_End, Qt::ShiftModifier}}, 4, {0, 1, 2, 3, 4}, "---xx"},
        {"Down past the last unlocked item", 2, {{Qt::Key_Down, none}}, 3, {3}, "---xx"},
        {"Down to the end", 2, {{Qt::Key_Down, none}, {Qt::Key_Down, none}}, 4, {4}, "---xx"},
        {"Space on a locked item",
         0,
         {{Qt::Key_End, none}, {Qt::Key_Space, none}},
         4,
         {4},
         "---xx"},
        {"Home back from a locked item", 4, {{Qt::Key_Home, none}}, 0, {0}, "---xx"},
    };
    for (const Case& c : cases) {
        MyCheckListBox list;
        list.resize(200, 200);
        list.show();
        for (const char* name : {"A", "B", "C", "D", "E"}) {
            list.addString(name);
        }
        for (int locked : {3, 4}) {
            list.setCheck(locked, true);
            list.enableItem(locked, false);
        }
        list.setFocus();
        if (c.start < 3) {
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                              list.visualItemRect(list.item(c.start)).center());
        } else {
            list.setCurrentRow(c.start);
        }
        for (const auto& [key, modifiers] : c.keys) {
            QTest::keyClick(&list, key, modifiers);
        }
        Rows selected;
        std::string checks;
        for (int i = 0; i < list.count(); ++i) {
            if (list.item(i)->isSelected()) {
                selected.push_back(i);
            }
            checks += list.check(i) ? 'x' : '-';
        }
        EXPECT_EQ(list.currentRow(), c.current) << c.label;
        EXPECT_EQ(selected, c.selected) << c.label;
        EXPECT_EQ(checks, c.checks) << c.label;
        EXPECT_FALSE(list.isItemEnabled(4)) << c.label << ": still locked";
    }
}

}  // namespace
