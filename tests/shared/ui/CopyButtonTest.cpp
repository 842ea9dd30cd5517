#include "ui/CopyButton.h"
#include "support/doubles/ui/FakeClock.h"
#include "support/doubles/ui/RecordingDesktop.h"

#include <QImage>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct CopyButtonTest : testing::Test
{
    FakeClock clock;
    RecordingDesktop desktop;
    int built = 0;
    std::unique_ptr<CopyButton> button = std::make_unique<CopyButton>(
        QStringLiteral("Copy Spec Report"), [this] { return QStringLiteral("report %1").arg(++built); }, desktop,
        clock);
};

} // namespace

TEST_F(CopyButtonTest, PressCopiesAndConfirmsForTwoSeconds)
{
    EXPECT_EQ(button->labelText(), "Copy Spec Report");
    EXPECT_EQ(button->labelSymbol(), "doc.on.doc");
    button->click();
    EXPECT_EQ(desktop.clipboardText(), "report 1");
    EXPECT_EQ(button->labelText(), "Copied!");
    EXPECT_EQ(button->labelSymbol(), "checkmark");
    clock.advance(1999);
    EXPECT_TRUE(button->isConfirming());
    clock.advance(1);
    EXPECT_FALSE(button->isConfirming());
    EXPECT_EQ(button->labelText(), "Copy Spec Report");
}

TEST_F(CopyButtonTest, FirstPendingResetEndsTheConfirmationAndEveryPressCopiesAnew)
{
    QSignalSpy changes(button.get(), &CopyButton::confirmingChanged);
    button->click();
    clock.advance(1500);
    button->click();
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(desktop.copies, 2);
    EXPECT_EQ(desktop.clipboardText(), "report 2");
    clock.advance(500); // 2.0 s after the first press
    EXPECT_FALSE(button->isConfirming());
    clock.advance(1500); // the second press's reset finds it already off
    EXPECT_FALSE(button->isConfirming());
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(CopyButtonTest, HeldDownTheButtonShowsItIsPressed)
{
    button->setColors(Qt::white, QColor(0x2f, 0x7d, 0xf6)); // an opaque fill, as the helper inspector's
    button->resize(button->sizeHint());
    const auto fill = [this] { return button->grab().toImage().pixelColor(4, button->height() / 2); };
    const QColor idle = fill();
    button->setDown(true);
    EXPECT_NE(fill(), idle);
}

TEST_F(CopyButtonTest, ResetAfterTheButtonIsGoneDoesNothing)
{
    button->click();
    button.reset();
    clock.advance(CopyButton::kResetMs);
    EXPECT_EQ(clock.pending(), 0);
}

TEST(CopyButtonReadBackTest, NoConfirmationWhenTheClipboardDidNotTakeTheText)
{
    // A clipboard that keeps nothing, as when no clipboard owner takes the text.
    class RefusingDesktop : public RecordingDesktop
    {
    public:
        void copyText(const QString&) override { ++copies; }
        QString clipboardText() const override { return QStringLiteral("older text"); }
    };
    FakeClock clock;
    RefusingDesktop desktop;
    CopyButton button(
        QStringLiteral("Copy Spec Report"), [] { return QStringLiteral("report"); }, desktop, clock);
    QSignalSpy changes(&button, &CopyButton::confirmingChanged);
    button.click();
    EXPECT_EQ(desktop.copies, 1);
    EXPECT_FALSE(button.isConfirming());
    EXPECT_EQ(button.labelText(), "Copy Spec Report");
    EXPECT_EQ(changes.count(), 0);
}
