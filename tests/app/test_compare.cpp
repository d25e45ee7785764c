// The compare page with the real program: a noisy and a restored picture against the origin.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTestSupport.h"
#include "KvTestSupport.h"
#include "TComparePage.h"
#include "THistoryToolForm.h"
#include "TKvadraApplication.h"
#include "TKvadraMainForm.h"
#include "TPlaneViewer.h"
#include "kvFacade/cKvadraSystem.h"
#include "kvImages/cImage.h"
#include "kvFiles/cPngFile.h"

class TestCompare : public QObject {
  Q_OBJECT

  std::unique_ptr<TKvadraApplication> App;
  TKvadraMainForm* Form = nullptr;
  TComparePage* Page = nullptr;
  QTemporaryDir Folder;

  cKvadraSystem& System() { return *App->System(); }
  void Run(const char* name)
  {
    const int before = System().SavedImageCount();
    System().SelectOperation(System().FindOperationUID(name));
    System().SelectedFilterExecute(true);
    QTRY_VERIFY_WITH_TIMEOUT(!System().IsBusy() && System().SavedImageCount() == before + 1, kvapptest::BusyTimeoutMs);
  }
  QString Saved(const QString& name)
  {
    const QString file = Folder.filePath(name);
    Page->AskFileName = [file] { return file; };
    Page->SaveViewButton->click();
    return file;
  }
  QString HistoryPicture(int id, const QString& name)
  {
    const QString file = Folder.filePath(name);
    System().GetImage(id)->GetSurface()->SaveVisibleImage(file.toStdString());
    return file;
  }
  QByteArray Contents(const QString& file)
  {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

private slots:
  void init()
  {
    kvapptest::AnswerDialogs();
    App = kvapptest::StartHidden();
    Form = App->MainForm();
    Page = Form->ComparePage;
    Form->resize(1200, 800);
    Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form));
    QVERIFY(Form->OpenFile(KV_SAMPLES_DIR "camera.bmp"));
    Run("Salt-and-Pepper Noise");
    Run("Median Filter");
    Form->CompareDomain->trigger();
    QCOMPARE(Form->Pages->currentWidget(), Page);
  }
  void cleanup()
  {
    App.reset();
    kvapptest::RestoreDialogs();
  }

  // Side by side shows A and B; the read-out and the difference hold their pixels.
  void ReadOutAndDifferenceShowThePixelsOfAAndB()
  {
    QCOMPARE(Page->GetPictureA(), 0);
    QCOMPARE(Page->CompareWithBox->count(), 3);
    cBMPSurface& a = *System().GetImage(0)->GetSurface();
    cBMPSurface& b = *System().GetImage(2)->GetSurface();
    for (auto [x, y] : {std::pair{0, 0}, std::pair{511, 300}, std::pair{17, 511}}) {
      const int va = kvtest::Pixel(a, x, y), vb = kvtest::Pixel(b, x, y);
      QCOMPARE(Page->ReadOut(x, y), QString("%1, %2: A=%3, B=%4, B−A=%5").arg(x).arg(y).arg(va).arg(vb).arg(vb - va));
    }
    QVERIFY(Page->ReadOut(512, 0).isEmpty());
    QString shown;
    Page->ShowPixelText = [&shown](const QString& text) { shown = text; };
    const sViewerInfo& info = Page->ViewerA->GetInfo();
    QTest::mouseMove(Page->ViewerA, QPoint(info.ScreenX + 3, info.ScreenY + 3));
    QVERIFY(shown.contains(": A="));

    QTest::keyClick(Page->ViewerB, Qt::Key_2);
    QCOMPARE(Page->GetMode(), TComparePage::cmDifference);
    Page->GainEdit->setValue(1);
    cBMPSurface view;
    QVERIFY(Page->RenderView(view));
    for (int y = 0; y < 512; y += 7)
      for (int x = 0; x < 512; x += 5)
        QCOMPARE(int(kvtest::Pixel(view, x, y)), std::abs(kvtest::Pixel(b, x, y) - kvtest::Pixel(a, x, y)));
  }

  void ZoomAndScrollOfOneViewerMoveTheOther()
  {
    Page->ViewerA->ZoomIn();
    Page->ViewerA->ZoomIn();
    QCOMPARE(Page->ViewerB->GetZoom(), Page->ViewerA->GetZoom());
    QVERIFY(Page->ViewerB->GetZoom() > 100);
    Page->ViewerB->SetLook(100, 120);
    QCOMPARE(Page->ViewerA->GetLookX(), Page->ViewerB->GetLookX());
    QCOMPARE(Page->ViewerA->GetLookY(), Page->ViewerB->GetLookY());
    Form->ZoomOutAction->trigger();
    QCOMPARE(Page->ViewerA->GetZoom(), Page->ViewerB->GetZoom());
  }

  // Ctrl+click on a History row picks A and leaves B the current picture.
  void CtrlClickOnAHistoryRowChoosesA()
  {
    Form->SpatialDomain->trigger();
    QTableWidget* grid = App->HistoryWindow()->HistoryGrid;
    const QRect row = grid->visualRect(grid->model()->index(1, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, row.center());
    QCOMPARE(Page->GetPictureA(), 1);
    QCOMPARE(System().GetCurrentImageID(), 2);
    QCOMPARE(Form->Pages->currentWidget(), Page);
    QCOMPARE(Page->CompareWithBox->currentIndex(), 1);
    QVERIFY(Page->TitleA->text().contains("Salt-and-Pepper"));
    // A plain click still makes the row current.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    QCOMPARE(System().GetCurrentImageID(), 1);
  }

  void FlickerSwitchesOnATapAndShowsTheOtherWhileHeld()
  {
    Page->SetMode(TComparePage::cmFlicker);
    QVERIFY(!Page->FlickerShowsA());
    QVERIFY(Page->TitleB->text().startsWith("Showing B"));
    QTest::keyClick(Page->ViewerB, Qt::Key_Space);
    QVERIFY(Page->FlickerShowsA());
    QVERIFY(Page->TitleB->text().startsWith("Showing A"));
    QTest::keyPress(Page->ViewerB, Qt::Key_Space);
    QTest::qWait(500);
    QTest::keyRelease(Page->ViewerB, Qt::Key_Space);
    QVERIFY(Page->FlickerShowsA());
  }

  // The map's mean is the SSIM the History shows for B; the desktop and kvadra compare write the
  // same PNG, and the map is kept while nothing changes.
  void QualityMapMatchesTheMeasureAndTheCommandLine()
  {
    QSignalSpy finished(Page, &TComparePage::MapFinished);
    Page->SetMode(TComparePage::cmQualityMap);
    QVERIFY(finished.wait(kvapptest::BusyTimeoutMs));
    cImage& b = *System().GetImage(2);
    QTRY_VERIFY_WITH_TIMEOUT(b.IsIndexValid(qiSSIM), kvapptest::BusyTimeoutMs);
    QCOMPARE(Page->GetQualityMap().Mean, b.GetIndexValue(qiSSIM));
    QVERIFY(Page->TitleB->text().contains(QString::number(b.GetIndexValue(qiSSIM), 'f', 4)));

    const QString desktop = Saved("desktop.png");
    const QString a = HistoryPicture(0, "a.bmp"), bFile = HistoryPicture(2, "b.bmp");
    for (auto [mode, cliMode] :
         {std::pair{TComparePage::cmQualityMap, "ssim-map"}, std::pair{TComparePage::cmDifference, "difference"},
          std::pair{TComparePage::cmSideBySide, "side-by-side"}}) {
      Page->SetMode(mode);
      const QString mine = Saved(QString(cliMode) + "-desktop.png");
      const QString theirs = Folder.filePath(QString(cliMode) + "-cli.png");
      QProcess cli;
      cli.start(KV_BIN_DIR "/kvadra", {"compare", a, bFile, "--mode", cliMode, "--out", theirs});
      QVERIFY(cli.waitForFinished(60000));
      QCOMPARE(cli.exitCode(), 0);
      QVERIFY(!Contents(mine).isEmpty());
      QCOMPARE(Contents(mine), Contents(theirs));
    }

    Page->SetMode(TComparePage::cmQualityMap);
    QVERIFY(Page->IsMapReady());  // reused, not recomputed
    Page->Refresh();
    QVERIFY(Page->IsMapReady());
    // B changes: the map is made again (it may finish while Run still waits for the history).
    const qsizetype made = finished.count();
    Run("Median Filter");
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() > made, kvapptest::BusyTimeoutMs);
  }

  void PicturesOfAnotherGeometryShowAMessage()
  {
    Page->SetMode(TComparePage::cmQualityMap);
    // The history never mixes geometries by itself; a picture changed behind its back must not crash the page.
    System().GetImage(0)->GetSurface()->SetSize(40, 30, 1);
    Page->Refresh();
    QVERIFY(Page->MessageLabel->isVisible());
    QVERIFY(Page->MessageLabel->text().contains("40 x 30 grey"));
    QVERIFY(!Page->ViewerArea->isVisible());
    QVERIFY(!Page->SaveViewButton->isEnabled());
    cBMPSurface view;
    QVERIFY(!Page->RenderView(view));
    QVERIFY(Page->ReadOut(1, 1).isEmpty());
    for (int mode = 0; mode < 4; ++mode) Page->SetMode(TComparePage::eMode(mode));
    Page->SetPictureA(1);
    QVERIFY(!Page->MessageLabel->isVisible());
    QVERIFY(Page->ViewerArea->isVisible());
  }
};

QTEST_MAIN(TestCompare)
#include "test_compare.moc"
