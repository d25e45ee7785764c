// The parameter panel's layout and change rules, and the operation dialog driving the kernel.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTestSupport.h"
#include "ParameterInfoBuilder.h"
#include "TAutoOperationForm.h"
#include "TImprovedRadioGroup.h"
#include "TImprovedSpinEdit.h"
#include "TKvadraApplication.h"
#include "TKvadraMainForm.h"
#include "TParamsPanel.h"
#include "TPlaneViewer.h"
#include "kvFacade/cKvadraSystem.h"
#include "kvPixels/cBMPSurface.h"

namespace {
using kvtest::Choices;
using kvtest::Info;

template <class T>
QList<T*> Controls(TParamsPanel& panel)
{
  return panel.findChildren<T*>(QString(), Qt::FindDirectChildrenOnly);
}
}  // namespace

class TestOperationDialog : public QObject {
  Q_OBJECT

  std::unique_ptr<TKvadraApplication> App;
  TAutoOperationForm* Dialog = nullptr;

  void Start()
  {
    App = kvapptest::StartHidden();
    App->MainForm()->resize(1000, 700);
    App->MainForm()->show();
    Dialog = App->OperationForm();
    QVERIFY(App->MainForm()->OpenFile(KV_SAMPLES_DIR "camera.bmp"));
    QTRY_VERIFY(App->MainForm()->SpatialViewer->IsPlaneSet());
  }
  cKvadraSystem* System() { return App->System(); }
  void WaitIdle() { QTRY_VERIFY_WITH_TIMEOUT(!System()->IsBusy(), kvapptest::BusyTimeoutMs); }
  TImprovedSpinEdit* Edit(int index) { return Controls<TImprovedSpinEdit>(*Dialog->ParamsPanel).at(index); }
  void Type(TImprovedSpinEdit* edit, const QString& text)
  {
    edit->Edit()->selectAll();
    QTest::keyClicks(edit->Edit(), text);
  }

private slots:
  void init() { kvapptest::AnswerDialogs(); }
  void cleanup()
  {
    App.reset();
    kvapptest::RestoreDialogs();
  }

  void EmptyOrLoneExcludedSetsShowTheNotice()
  {
    TParamsPanel panel;
    panel.resize(320, 100);
    cOperationParams none;
    panel.Build(none, -1);
    QCOMPARE(panel.GetCaption(), QString("There are no parameters"));
    QCOMPARE(panel.GetHeight(), 20);
    cOperationParams one;
    one.AddNewParam(Info(ptReal, "Density", 0, 1, 0.5));
    panel.Build(one, 0);
    QCOMPARE(panel.GetCaption(), QString("There are no parameters"));
    QCOMPARE(panel.GetHeight(), 20);
    QVERIFY(Controls<TImprovedSpinEdit>(panel).isEmpty());
    panel.Build(one, -1);
    QCOMPARE(panel.GetCaption(), QString());
    QCOMPARE(Controls<TImprovedSpinEdit>(panel).size(), 1);
  }

  void RowsFollowTheSpacingRules()
  {
    TParamsPanel panel;
    panel.resize(320, 100);
    cOperationParams set;
    set.AddNewParam(Choices("Three", 3));
    set.AddNewParam(Info(ptBoolean, "A rather long boolean caption", 0, 1, 1));
    set.AddNewParam(Choices("Four", 4));
    set.AddNewParam(Info(ptInteger, "Size", 1, 15, 3));
    panel.Build(set, -1);
    const auto groups = Controls<TImprovedRadioGroup>(panel);
    QCOMPARE(groups.size(), 2);
    QCOMPARE(groups[0]->height(), 75);
    QCOMPARE(groups[1]->height(), 100);
    QCOMPARE(groups[0]->y(), 10);
    const auto boxes = Controls<QCheckBox>(panel);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0]->y(), 10 + 75 + 10);
    QCOMPARE(groups[1]->y(), boxes[0]->y() + boxes[0]->height() + 10);
    // Controls start right of the widest label of non-boolean parameters; booleans do not count.
    const int labelWidth = QFontMetrics(panel.font()).horizontalAdvance("Three:");
    QCOMPARE(groups[0]->x(), labelWidth + 20);
    QCOMPARE(boxes[0]->x(), labelWidth + 20);
    QCOMPARE(groups[0]->x() + groups[0]->width(), 320 - 10);
    const auto edits = Controls<TImprovedSpinEdit>(panel);
    QCOMPARE(panel.GetHeight(), edits[0]->geometry().bottom() + 1 + 10);
  }

  void EachControlWritesItsParameter()
  {
    TParamsPanel panel;
    panel.resize(320, 100);
    cOperationParams set;
    set.AddNewParam(Info(ptInteger, "Size", 1, 15, 3));
    set.AddNewParam(Info(ptReal, "Density", 0, 1, 0.5));
    set.AddNewParam(Info(ptReal, "Whole", 0, 50, 7, 0));
    set.AddNewParam(Info(ptBoolean, "Recursive", 0, 1, 0));
    set.AddNewParam(Choices("Kind", 3));
    panel.Build(set, -1);
    int changes = 0;
    panel.OnChange = [&changes](TParamsPanel*) { ++changes; };
    const auto edits = Controls<TImprovedSpinEdit>(panel);
    Type(edits[0], "12");
    QCOMPARE(panel.GetParams().GetParam(0)->GetInteger(), 12);
    // Text past the bounds while typing never reaches the parameter beyond them.
    Type(edits[0], "99");
    QCOMPARE(panel.GetParams().GetParam(0)->GetInteger(), 15);
    Type(edits[1], "0.57");
    QCOMPARE(panel.GetParams().GetParam(1)->GetRawValue(), 57);
    // A real parameter of precision 0 is written back as a whole number.
    Type(edits[2], "9");
    QCOMPARE(panel.GetParams().GetParam(2)->GetReal(), 9.0);
    Controls<QCheckBox>(panel)[0]->click();
    QVERIFY(panel.GetParams().GetParam(3)->GetBoolean());
    Controls<TImprovedRadioGroup>(panel)[0]->Button(2)->click();
    QCOMPARE(panel.GetParams().GetParam(4)->GetEnumSelectedIndex(), 2);
    QVERIFY(changes >= 6);
    cOperationParams target = set;
    panel.ApplyTo(target);
    QCOMPARE(target.GetShortInfo(), panel.GetParams().GetShortInfo());
  }

  void PreviewsNeverEnterTheHistoryAndCancelKeepsIt()
  {
    Start();
    const unsigned median = System()->FindOperationUID("Median Filter");
    App->MainForm()->ExecuteOperation(median);
    QVERIFY(Dialog->isVisible());
    QCOMPARE(Dialog->windowTitle(), QString("Median Filter"));
    QCOMPARE(Controls<TImprovedSpinEdit>(*Dialog->ParamsPanel).size(), 2);
    QCOMPARE(Controls<QCheckBox>(*Dialog->ParamsPanel).at(0)->text(), QString("Recursive executing"));
    WaitIdle();
    Type(Edit(0), "7");
    Type(Edit(1), "9");
    WaitIdle();
    QCOMPARE(System()->SavedImageCount(), 1);
    QTest::mouseClick(Dialog->PreviewCheckbox, Qt::LeftButton);
    QVERIFY(System()->GetFullPreviewMode());
    WaitIdle();
    QVERIFY(System()->GetResultImage()->IsWholeImage());
    QTest::mouseClick(Dialog->CancelBtn, Qt::LeftButton);
    QVERIFY(!Dialog->isVisible());
    QVERIFY(!System()->GetFullPreviewMode());
    QVERIFY(System()->GetResultImage()->IsWholeImage());
    QTest::qWait(100);
    QCOMPARE(System()->SavedImageCount(), 1);
  }

  void OkStoresOneEntryEqualToTheCommandLineRun()
  {
    Start();
    App->MainForm()->ExecuteOperation(System()->FindOperationUID("Median Filter"));
    Type(Edit(0), "5");
    Type(Edit(1), "7");
    QTest::mouseClick(Dialog->OkBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!System()->IsBusy() && System()->SavedImageCount() == 2, kvapptest::BusyTimeoutMs);
    QTest::qWait(100);
    QCOMPARE(System()->SavedImageCount(), 2);
    QVERIFY(QString::fromStdString(System()->GetImage(1)->GetTitle()).startsWith("Median Filter"));

    QTemporaryDir folder;
    const QString out = folder.filePath("cli.bmp");
    QProcess cli;
    cli.start(KV_BIN_DIR "/kvadra", {"run", KV_SAMPLES_DIR "camera.bmp", "--op", "Median Filter", "--set",
                                     "Width size=5", "--set", "Height size=7", "--out", out});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    cBMPSurface expected;
    QVERIFY(expected.LoadImage(out.toStdString()));
    const cBMPSurface& mine = *System()->GetImage(1)->GetSurface();
    QCOMPARE(mine.GetWidth(), expected.GetWidth());
    for (int y = 0; y < mine.GetHeight(); ++y)
      QVERIFY2(std::memcmp(mine.Row(y), expected.Row(y), size_t(mine.GetWidth())) == 0, qPrintable(QString::number(y)));
  }

  void ADialogLeftOpenSurvivesClosingThePicture()
  {
    Start();
    App->MainForm()->ExecuteOperation(System()->FindOperationUID("Median Filter"));
    WaitIdle();
    System()->DeleteAllSavedImage();
    QTRY_VERIFY(!Dialog->PreviewViewer->IsPlaneSet());
    Type(Edit(0), "9");  // a preview with no picture runs nothing
    QVERIFY(!System()->IsBusy());
    QTest::mouseClick(Dialog->OkBtn, Qt::LeftButton);
    QTest::qWait(50);
    QCOMPARE(System()->SavedImageCount(), 0);
    // Another picture of another size: the preview follows it.
    QVERIFY(App->MainForm()->OpenFile(KV_SAMPLES_DIR "coffee.jpg"));
    QTRY_COMPARE(Dialog->PreviewViewer->GetPlaneWidth(), 600);
  }
};

int main(int argc, char** argv)
{
  return kvapptest::RunWithCNumbers<TestOperationDialog>(argc, argv);
}

#include "test_operation_dialog.moc"
