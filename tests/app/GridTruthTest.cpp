// What the grid shows is what the ECU holds, or visibly not: refused and
// abandoned typing, stores, reconnects, read-backs and the comparison.
#include "maps/MapGrid.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Helpers.h"

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class GridTruth : public FormFixture {
protected:
    // Connected to an ECU that keeps what is written, both maps read.
    std::unique_ptr<TTarvexMainForm> makeReadForm()
    {
        serial->answer = [this](const QByteArray &frame) { return ecu.answer(frame); };
        auto form = makeConnectedForm();
        press(*form, &TTarvexMainForm::InjRefreshButtonClick);
        press(*form, &TTarvexMainForm::IgnRefreshButtonClick);
        connectedAt = serial->calls().size();
        return form;
    }
    void showFuelPage(TTarvexMainForm &form)
    {
        form.show();
        form.PageControl1->setCurrentIndex(1);
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        connectedAt = serial->calls().size();
    }
    QList<QByteArray> cellWrites() const
    {
        QList<QByteArray> out;
        for (const QByteArray &w : writesSinceConnect())
            if (w.startsWith("<B[") || w.startsWith("<E["))
                out << w;
        return out;
    }
    MapEcu ecu;
};

// A real box runs an event loop in which the cell editor loses the focus and
// is deleted; the Enter that showed the box must not touch it afterwards.
TEST_F(GridTruth, ARefusedValueIsTakenBackAfterItsBoxWhateverTheBoxDeleted)
{
    auto form = makeReadForm();
    showFuelPage(*form);
    dialogs->nestedLoop = true;
    form->InjGrid->SetEditing(true);
    form->InjGrid->setCurrentCell(0, 0);
    form->InjGrid->setFocus();
    QTest::keyClicks(form->InjGrid, QStringLiteral("1"));
    QPointer<QLineEdit> editor = form->InjGrid->findChild<QLineEdit *>();
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, QStringLiteral("000"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(dialogs->texts(), QStringList{"Значение должно быть меньше 1000"});
    EXPECT_FALSE(editor) << "closed by the box";
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QStringLiteral("40")) << "what the ECU holds, not the refused 1000";
    EXPECT_TRUE(form->InjGrid->Pending().empty());
    EXPECT_TRUE(cellWrites().isEmpty());
}

} // namespace
