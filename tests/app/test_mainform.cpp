// The main window started as the program starts it, with the real packages.
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTestSupport.h"
#include "KvTestSupport.h"
#include "PngFileWriter.h"
#include "TActionManagerHelper.h"
#include "THistoryToolForm.h"
#include "TKvadraApplication.h"
#include "TKvadraMainForm.h"
#include "TPlaneViewer.h"
#include "TSplashForm.h"
#include "TiffFileWriter.h"
#include "cKvadraMainFormObserver.h"
#include "kvFacade/cKvadraSystem.h"
#include "kvPixels/cBMPSurface.h"
#include "kvImages/cImage.h"

namespace {
QStringList Captions(const QMenu* menu)
{
  QStringList captions;
  for (const QAction* a : menu->actions()) captions << (a->isSeparator() ? QString("-") : a->text());
  return captions;
}

QMenu* TopMenu(QMenuBar* bar, const QString& caption)
{
  for (QAction* a : bar->actions())
    if (a->text() == caption) return a->menu();
  return nullptr;
}
}  // namespace

class TestMainForm : public QObject {
  Q_OBJECT

  std::unique_ptr<TKvadraApplication> App;
  TKvadraMainForm* Form = nullptr;
  std::vector<std::string> Messages;
  QTemporaryDir NoPackages;

  void StartWith(const QString& plugIns)
  {
    App = kvapptest::StartHidden(plugIns);
    Form = App->MainForm();
    Form->resize(1100, 800);
    Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form));
  }
  unsigned Uid(const char* name) { return App->System()->FindOperationUID(name); }
  void Load(const QString& file)
  {
    QVERIFY(Form->OpenFile(file));
    QTRY_VERIFY(Form->SpatialViewer->IsPlaneSet());
  }
  void RunAction(QAction* action)
  {
    const int before = App->System()->SavedImageCount();
    action->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!App->System()->IsBusy() && App->System()->SavedImageCount() == before + 1,
                             kvapptest::BusyTimeoutMs);
  }

private slots:
  void init()
  {
    Messages.clear();
    kvapptest::AnswerDialogs(&Messages);
  }
  void cleanup()
  {
    App.reset();
    Form = nullptr;
    kvapptest::RestoreDialogs();
  }

  void StartUpFillsMenusFromTheAnnouncedOperations()
  {
    StartWith(KV_BIN_DIR "/plug-ins/");
    QMenuBar* bar = Form->ActionMainMenuBar;
    QStringList top;
    for (QAction* a : bar->actions()) top << a->text();
    QCOMPARE(top, QStringList(
                      {"&File", "E&dit", "&Image", "Filters", "Noises", "Compression", "&View", "&Window", "&Help"}));
    QCOMPARE(Captions(TopMenu(bar, "&File")), QStringList({"&Open image", "&Save image as...", "&Close image", "-",
                                                           "S&tart analyzer", "-", "&Preferences...", "-", "&Exit"}));
    // Every operation of the packages is in the menus as "name - UID", or bound to its built-in action.
    const unsigned count = App->System()->GetOperationsCount();
    for (unsigned uid = 2; uid <= count; ++uid) {
      QAction* action = Form->FindOperationAction(uid);
      QVERIFY2(action, qPrintable(QString("no action for %1").arg(uid)));
      std::string group, name, type;
      App->System()->GetOperationGroupAndName(uid, group, name, type);
      if (type != "otBuiltIn")
        QCOMPARE(action->text(), QString::fromStdString(name) + " - " + QString::number(uid));
      else
        QCOMPARE(TActionManagerHelper::StripAccelerator(action->text()), QString::fromStdString(name));
    }
    const QStringList splash = App->Splash()->InfoMemo->toPlainText().split('\n');
    QVERIFY(splash.contains("Starting application..."));
    QVERIFY(splash.contains("Median Filters::Median Filter"));
    QCOMPARE(splash.last(), QString("Done."));
  }

  void OperationsAreFiledByTypeAndGroup()
  {
    StartWith(NoPackages.path());  // no packages: the menus hold only what the test files
    Form->AddOperationItem(101, "None", "Alone", "otFilter");
    Form->AddOperationItem(102, "&Ranks", "First", "otFilter");
    Form->AddOperationItem(103, "Ranks", "Second", "otFilter");
    Form->AddOperationItem(104, "Ranks", "Third", "otNoise");
    Form->AddOperationItem(105, "None", "Squeeze", "otCompress");
    QCOMPARE(Captions(Form->FiltersItem), QStringList({"Alone - 101", "&Ranks"}));
    QMenu* ranks = Form->FiltersItem->actions().at(1)->menu();
    QCOMPARE(Captions(ranks), QStringList({"First - 102", "Second - 103"}));
    QCOMPARE(Captions(Form->NoisesItem), QStringList({"Ranks"}));
    QCOMPARE(Captions(Form->CompressionItem), QStringList({"Squeeze - 105"}));
    QCOMPARE(TActionManagerHelper::StripAccelerator("R&o&tate"), QString("Ro&tate"));
    QCOMPARE(TActionManagerHelper::StripAccelerator("Plain"), QString("Plain"));
  }

  void EnabledStatesFollowThePictureAndHistory()
  {
    StartWith(KV_BIN_DIR "/plug-ins/");
    QVERIFY(!Form->InvertAction->isEnabled());
    QVERIFY(!Form->FindOperationAction(Uid("Median Filter"))->isEnabled());
    QVERIFY(!Form->SaveImageAsAction->isEnabled());
    QVERIFY(!Form->MagPhBox->isEnabled());
    QVERIFY(!Form->NewOriginAction->isEnabled());

    Load(KV_SAMPLES_DIR "camera.bmp");  // grey: the colour-only operation is off
    QVERIFY(Form->InvertAction->isEnabled());
    QVERIFY(!Form->DesaturateAction->isEnabled());
    QVERIFY(Form->FindOperationAction(Uid("Median Filter"))->isEnabled());
    QVERIFY(Form->ZoomInAction->isEnabled() && Form->CloseImageAction->isEnabled() && Form->RulersAction->isEnabled());
    QVERIFY(!Form->UndoAction->isEnabled());
    RunAction(Form->InvertAction);
    QVERIFY(Form->UndoAction->isEnabled());

    Form->SetConfirmHandler([](const QString&) { return true; });
    Form->CloseImageAction->trigger();
    QTRY_VERIFY(!Form->SpatialViewer->IsPlaneSet());
    QVERIFY(!Form->InvertAction->isEnabled());
    QVERIFY(!Form->UndoAction->isEnabled());
    QCOMPARE(Form->StatusPanel->text(), QString("Image closed."));

    Load(KV_SAMPLES_DIR "astronaut.bmp");  // colour
    QVERIFY(Form->DesaturateAction->isEnabled());
  }

  void DecliningTheGeometryQuestionRunsNothing()
  {
    StartWith(KV_BIN_DIR "/plug-ins/");
    Load(KV_SAMPLES_DIR "camera.bmp");
    QStringList asked;
    Form->SetConfirmHandler([&asked](const QString& text) {
      asked << text;
      return false;
    });
    Form->Rotate90CWAction->trigger();
    QCOMPARE(asked, QStringList({"You are about to execute operation which will change image geometric properties.\r"
                                 "History will be purged.\r\rContiniue?"}));
    QTest::qWait(50);
    QVERIFY(!App->System()->IsBusy());
    QCOMPARE(App->System()->SavedImageCount(), 1);
  }

  void ObserverWritesStatusAndProgress_data()
  {
    QTest::addColumn<uint>("msg");
    QTest::addColumn<int>("w");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("progress");
    QTest::newRow("saved") << uint(FILTRATION_FINISHED) << 1 << "Done. Result was saved to history." << 0;
    QTest::newRow("preview") << uint(FILTRATION_FINISHED) << 0 << "Done. Result was not saved to history." << 0;
    QTest::newRow("progress") << uint(FILTRATION_PROGRESS) << 42 << "Progress...42%" << 42;
    QTest::newRow("terminated") << uint(FILTRATION_TERMINATED) << 0 << "Operation terminated." << 0;
    QTest::newRow("started") << uint(FILTRATION_STARTED) << 0
                             << "ERROR! If you see this, something is wrong! Filtration is too slow." << 7;
    QTest::newRow("other") << uint(GLOBAL_PARAMETERS_CHANGED) << 0 << "before" << 7;
  }
  void ObserverWritesStatusAndProgress()
  {
    QFETCH(uint, msg);
    QFETCH(int, w);
    QFETCH(QString, status);
    QFETCH(int, progress);
    StartWith(NoPackages.path());
    Form->SetStatusText("before");
    Form->ProgressBar->setValue(7);
    cKvadraMainFormObserver observer;
    sMessage message{msg, w, 0, 0};
    observer.Update(message);
    QCOMPARE(Form->StatusPanel->text(), status);
    QCOMPARE(Form->ProgressBar->value(), progress);
  }

  void WindowMenuHasOneEntryPerToolWindowTickedWhileVisible()
  {
    StartWith(NoPackages.path());
    QDockWidget* history = App->HistoryWindow();
    QStringList top;
    for (QAction* a : Form->ActionMainMenuBar->actions()) top << a->text();
    QCOMPARE(top.mid(top.size() - 2), QStringList({"&Window", "&Help"}));
    QMenu* window = TopMenu(Form->ActionMainMenuBar, "&Window");
    QCOMPARE(Captions(window), QStringList({"&History", "&Image info"}));
    QVERIFY(window->actions().at(0)->isChecked());
    history->hide();
    QVERIFY(!window->actions().at(0)->isChecked());
    QVERIFY(window->actions().at(1)->isChecked());
    window->actions().at(0)->trigger();  // the entry shows it again
    QVERIFY(!history->isHidden());
    QVERIFY(window->actions().at(0)->isChecked());
    QCOMPARE(window->actions().size(), 2);
  }

  // The real program's path: open, run "Invert" through its action, see it, undo it.
  void InvertThroughItsActionShowsTheInvertedPixels()
  {
    StartWith(KV_BIN_DIR "/plug-ins/");
    Load(KV_SAMPLES_DIR "camera.bmp");
    QCOMPARE(Form->StatusPanel->text(), QString("Image loaded."));
    QCOMPARE(Form->SpatialViewer->GetPlaneWidth(), 512);
    cBMPSurface original;
    QVERIFY(original.LoadImage(KV_SAMPLES_DIR "camera.bmp"));

    auto expectShown = [&](bool inverted) {
      Form->SpatialViewer->ActualSize();
      const QImage shown = Form->SpatialViewer->grab().toImage();
      const sViewerInfo info = Form->SpatialViewer->GetInfo();
      QCOMPARE(info.Zoom, 100);
      int checked = 0;
      for (int y = info.TexelTop; y < info.TexelBottom; y += 7)
        for (int x = info.TexelLeft; x < info.TexelRight; x += 5) {
          const int v = original.Row(y)[x];
          const int expected = inverted ? 255 - v : v;
          const QPoint at(info.ScreenX + int(x - info.X0), info.ScreenY + int(y - info.Y0));
          QCOMPARE(qGray(shown.pixel(at)), expected);
          ++checked;
        }
      QVERIFY(checked > 100);
    };
    expectShown(false);
    RunAction(Form->InvertAction);
    QCOMPARE(Form->StatusPanel->text(), QString("Done. Result was saved to history."));
    expectShown(true);
    Form->UndoAction->trigger();
    QTRY_COMPARE(App->System()->SavedImageCount(), 1);
    expectShown(false);
  }

  void FrequencyPageShowsTheCommandLineSpectrum()
  {
    StartWith(KV_BIN_DIR "/plug-ins/");
    Load(KV_SAMPLES_DIR "coins.bmp");
    QTemporaryDir folder;
    const QString out = folder.filePath("spectrum.bmp");
    QProcess cli;
    cli.start(KV_BIN_DIR "/kvadra",
              {"spectrum", KV_SAMPLES_DIR "coins.bmp", "--kind", "magnitude", "--scale", "15", "--out", out});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    cBMPSurface expected;
    QVERIFY(expected.LoadImage(out.toStdString()));
    Form->FreqDomain->trigger();
    QCOMPARE(Form->Pages->currentWidget(), Form->FreqSheet);
    Form->FrequencyViewer->ActualSize();
    const QImage shown = Form->FrequencyViewer->grab().toImage();
    const sViewerInfo info = Form->FrequencyViewer->GetInfo();
    int checked = 0;
    for (int y = info.TexelTop; y < info.TexelBottom; y += 5)
      for (int x = info.TexelLeft; x < info.TexelRight; x += 3, ++checked) {
        const QPoint at(info.ScreenX + int(x - info.X0), info.ScreenY + int(y - info.Y0));
        QCOMPARE(qGray(shown.pixel(at)), int(expected.Row(y)[x * expected.GetChannelsCount()]));
      }
    QVERIFY(checked > 100);
  }

  void OpenDialogListsTheFormatsAndSaveDialogWritesBmpOrPng()
  {
    StartWith(KV_BIN_DIR "/plug-ins/");
    Load(KV_SAMPLES_DIR "coins.bmp");
    QStringList openFilters;
    QTimer::singleShot(0, Form, [this, &openFilters] {
      auto* dialog = Form->findChild<QFileDialog*>("OpenPictureDialog");
      if (!dialog) return;
      openFilters = dialog->nameFilters();
      dialog->reject();
    });
    Form->OpenImageAction->trigger();
    QCOMPARE(openFilters, QStringList({"All supported (*.bmp *.jpg *.png *.tif *.tiff)", "Bitmaps (*.bmp)",
                                       "JPEG (*.jpg)", "PNG (*.png)", "TIFF (*.tif *.tiff)"}));
    QTemporaryDir folder;
    for (const QString type : {"bmp", "png"}) {
      QStringList saveFilters;
      QTimer::singleShot(0, Form, [this, &saveFilters, &folder, type] {
        auto* dialog = Form->findChild<QFileDialog*>("SavePictureDialog");
        if (!dialog) return;
        saveFilters = dialog->nameFilters();
        // Chosen as a user does, from the file type list.
        if (type == "png") QTest::keyClick(dialog->findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Down);
        dialog->selectFile(folder.filePath("saved-" + type));
        QMetaObject::invokeMethod(dialog, "accept");
      });
      Form->SaveImageAsAction->trigger();
      QCOMPARE(saveFilters, QStringList({"Bitmaps (*.bmp)", "PNG (*.png)"}));
      const QString file = folder.filePath("saved-" + type + "." + type);
      QVERIFY2(QFile::exists(file), qPrintable(file));
      QFile saved(file);
      QVERIFY(saved.open(QIODevice::ReadOnly));
      const QByteArray head = saved.read(4);
      QCOMPARE(head.left(type == "png" ? 4 : 2), type == "png" ? QByteArray("\x89PNG") : QByteArray("BM"));
      cImage back;
      QVERIFY(back.LoadImage(file.toStdString()));
      QVERIFY(back.GetWidth() == 384 && back.GetChannelsCount() == 1);
    }
    QVERIFY(Messages.empty());
  }

  void PngAndSixteenBitTiffOpenWithTheReferencePixels()
  {
    StartWith(KV_BIN_DIR "/plug-ins/");
    QTemporaryDir folder;
    // An RGBA PNG against Qt's own PNG reader (alpha dropped, not composed).
    kvtest::PngFileWriter png;
    png.ColourType = PNG_COLOR_TYPE_RGB_ALPHA;
    png.Width = 23;
    png.Height = 17;
    const auto bytes = png.Encode();
    const QString pngFile = folder.filePath("leaf.png");
    QFile out(pngFile);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    out.close();
    Load(pngFile);
    const QImage reference = QImage(pngFile).convertToFormat(QImage::Format_ARGB32);
    cImage* image = App->System()->GetImage(App->System()->GetCurrentImageID());
    QCOMPARE(QString::fromStdString(image->GetTitle()), QString("Load 'leaf.png' (alpha dropped)"));
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 23; ++x) {
        const QRgb p = reference.pixel(x, y);
        QCOMPARE(kvtest::Pixel(*image->GetSurface(), x, y, 2), qRed(p));
        QCOMPARE(kvtest::Pixel(*image->GetSurface(), x, y, 1), qGreen(p));
        QCOMPARE(kvtest::Pixel(*image->GetSurface(), x, y, 0), qBlue(p));
      }
    // A 16-bit grey TIFF in LZW strips against the rounding rule (libtiff's RGBA reader
    // truncates 16-bit grey instead).
    kvtest::TiffFileWriter tiff;
    tiff.Photometric = PHOTOMETRIC_MINISBLACK;
    tiff.Samples = 1;
    tiff.Bits = 16;
    tiff.Compression = COMPRESSION_LZW;
    tiff.Sample = [](int x, int y, int) { return uint32_t(x * 3000 + y * 257 + 128); };
    const QString tiffFile = folder.filePath("deep.tiff");
    QVERIFY(tiff.Write(tiffFile.toStdString()));
    QVERIFY(Form->OpenFile(tiffFile));  // another geometry: the history is purged (confirmed)
    image = App->System()->GetImage(App->System()->GetCurrentImageID());
    QCOMPARE(image->GetChannelsCount(), 1);
    for (int y = 0; y < tiff.Height; ++y)
      for (int x = 0; x < tiff.Width; ++x)
        QCOMPARE(int(kvtest::Pixel(*image->GetSurface(), x, y)), int((tiff.Sample(x, y, 0) * 255 + 32767) / 65535));
    QVERIFY(Messages.empty());
  }

  void FailedLoadChangesNothing()
  {
    StartWith(KV_BIN_DIR "/plug-ins/");
    Load(KV_SAMPLES_DIR "camera.bmp");
    QTemporaryDir folder;
    const QString bad = folder.filePath("bad.bmp");
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("BM not a picture");
    f.close();
    QVERIFY(!Form->OpenFile(bad));
    QCOMPARE(Messages.size(), size_t(1));
    QCOMPARE(QString::fromStdString(Messages[0]),
             "Can not load image '" + bad + "'.\nThe BMP file is cut short inside its headers.");
    QCOMPARE(App->System()->SavedImageCount(), 1);
    QCOMPARE(Form->SpatialViewer->GetPlaneWidth(), 512);
  }
};

int main(int argc, char** argv)
{
  return kvapptest::RunWithCNumbers<TestMainForm>(argc, argv);
}

#include "test_mainform.moc"
